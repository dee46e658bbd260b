// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' TCP client over BSD sockets.
#pragma once

#include <cerrno>
#include <ifaddrs.h>
#include <vector>

// The machine's name, as the server gives it in its replies.
inline std::string HostName()
{
    char cName[257] = {};
    ::gethostname(cName, 256);
    return cName;
}

// True when the machine has no IPv4 address but loopback: the test's own namespace.
inline bool OnlyLoopback()
{
    ifaddrs* pList = nullptr;
    if (::getifaddrs(&pList) != 0)
        return false;
    bool bOnlyLoopback = true;
    for (const ifaddrs* p = pList; p != nullptr; p = p->ifa_next) {
        if (p->ifa_addr != nullptr && p->ifa_addr->sa_family == AF_INET &&
            (ntohl(reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr) >> 24) !=
                127)
            bOnlyLoopback = false;
    }
    ::freeifaddrs(pList);
    return bOnlyLoopback;
}

// Everything the peer sends until it closes, or until nothing has come for nTimeoutMs; says
// whether the peer reset the connection instead of closing it.
inline std::string ReadUntilClosed(TestSocket s, int nTimeoutMs = 5000, bool* pReset = nullptr)
{
    std::string strReply;
    char cBuffer[4096];
    pollfd fd{s, POLLIN, 0};
    while (::poll(&fd, 1, nTimeoutMs) > 0) {
        const ssize_t n = ::recv(s, cBuffer, sizeof cBuffer, 0);
        if (n < 0 && pReset != nullptr)
            *pReset = errno == ECONNRESET;
        if (n <= 0)
            break;
        strReply.append(cBuffer, static_cast<std::size_t>(n));
    }
    return strReply;
}

// Sends one request in one send and returns the whole reply.
inline std::string Exchange(const std::string& strRequest, unsigned short nPort,
                            bool* pReset = nullptr, const char* pszAddress = "127.0.0.1")
{
    TestSocket s = ConnectTo(pszAddress, nPort);
    if (s == kNoTestSocket)
        return "(no connection)";
    SendAll(s, strRequest);
    std::string strReply = ReadUntilClosed(s, 5000, pReset);
    CloseTestSocket(s);
    return strReply;
}

// Closes the connection with a reset instead of the orderly close.
inline void ResetConnection(TestSocket s)
{
    const linger abort{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(s);
}

// Sends the pieces one after the other, nPauseMs apart, on one connection; returns the reply.
inline std::string ExchangeInPieces(const std::vector<std::string>& pieces, int nPauseMs,
                                    unsigned short nPort)
{
    TestSocket s = ConnectLoopback(nPort);
    if (s == kNoTestSocket)
        return "(no connection)";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            ::poll(nullptr, 0, nPauseMs);
        SendAll(s, pieces[i]);
    }
    std::string strReply = ReadUntilClosed(s);
    CloseTestSocket(s);
    return strReply;
}
