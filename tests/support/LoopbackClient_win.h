// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' TCP client over the system's Winsock.
#pragma once

inline std::string HostName()
{
    StartTestSockets();
    char cName[257] = {};
    ::gethostname(cName, 256);
    return cName;
}

// True when the machine has no IPv4 address but loopback: the test's own namespace.
inline bool OnlyLoopback()
{
    StartTestSockets();
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    INTERFACE_INFO interfaces[16];
    DWORD dwBytes = 0;
    const int nResult = ::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces,
                                   sizeof interfaces, &dwBytes, nullptr, nullptr);
    ::closesocket(s);
    if (nResult != 0)
        return false;
    for (DWORD i = 0; i < dwBytes / sizeof(INTERFACE_INFO); ++i) {
        if ((ntohl(interfaces[i].iiAddress.AddressIn.sin_addr.s_addr) >> 24) != 127)
            return false;
    }
    return true;
}

// Everything the peer sends until it closes, or until nothing has come for nTimeoutMs.
inline std::string ReadUntilClosed(TestSocket s, int nTimeoutMs = 5000)
{
    const DWORD dwTimeout = static_cast<DWORD>(nTimeoutMs);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwTimeout),
                 sizeof dwTimeout);
    std::string strReply;
    char cBuffer[4096];
    for (int n; (n = ::recv(s, cBuffer, sizeof cBuffer, 0)) > 0;)
        strReply.append(cBuffer, static_cast<size_t>(n));
    return strReply;
}

// Sends one request in one send and returns the whole reply.
inline std::string Exchange(const std::string& strRequest, unsigned short nPort,
                            const char* pszAddress = "127.0.0.1")
{
    TestSocket s = ConnectTo(pszAddress, nPort);
    if (s == kNoTestSocket)
        return "(no connection)";
    SendAll(s, strRequest);
    std::string strReply = ReadUntilClosed(s);
    CloseTestSocket(s);
    return strReply;
}
