// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' socket calls over the system's sockets.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using TestSocket = int;
using TestSocketLength = socklen_t;
inline constexpr TestSocket kNoTestSocket = -1;

// Sockets need nothing started here.
class CTestSockets
{
};

inline void StartTestSockets() {}

inline TestSocket NewTestSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

inline void CloseTestSocket(TestSocket& s)
{
    if (s != kNoTestSocket)
        ::close(s);
    s = kNoTestSocket;
}

// Wakes a thread blocked in accept on the listener, which stays open until it is closed.
inline void WakeAccept(TestSocket& listener)
{
    ::shutdown(listener, SHUT_RDWR);
}

inline bool WaitReadable(TestSocket s, int nTimeoutMs)
{
    pollfd fd{s, POLLIN, 0};
    return ::poll(&fd, 1, nTimeoutMs) > 0;
}

inline void SendAll(TestSocket s, const std::string& strData)
{
    ::send(s, strData.data(), strData.size(), MSG_NOSIGNAL);
}

inline void SetTestSocketNonBlocking(TestSocket s)
{
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
}
