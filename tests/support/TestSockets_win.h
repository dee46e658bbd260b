// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' socket calls over Winsock.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

using TestSocket = SOCKET;
using TestSocketLength = int;
inline constexpr TestSocket kNoTestSocket = INVALID_SOCKET;

// Winsock, for as long as it lives.
class CTestSockets
{
public:
    CTestSockets()
    {
        WSADATA wsaData;
        ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    }
    ~CTestSockets() { ::WSACleanup(); }
    CTestSockets(const CTestSockets&) = delete;
    CTestSockets& operator=(const CTestSockets&) = delete;
};

// Winsock is started once for the test program and stays until it ends.
inline void StartTestSockets()
{
    static const CTestSockets sockets;
}

inline TestSocket NewTestSocket()
{
    return ::socket(AF_INET, SOCK_STREAM, 0);
}

inline void CloseTestSocket(TestSocket& s)
{
    if (s != kNoTestSocket)
        ::closesocket(s);
    s = kNoTestSocket;
}

// Wakes a thread blocked in accept on the listener: only its close does that here.
inline void WakeAccept(TestSocket& listener)
{
    CloseTestSocket(listener);
}

inline bool WaitReadable(TestSocket s, int nTimeoutMs)
{
    WSAPOLLFD fd{s, POLLRDNORM, 0};
    return ::WSAPoll(&fd, 1, nTimeoutMs) > 0;
}

inline void SendAll(TestSocket s, const std::string& strData)
{
    ::send(s, strData.data(), static_cast<int>(strData.size()), 0);
}

inline void SetTestSocketNonBlocking(TestSocket s)
{
    u_long nNonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nNonBlocking);
}
