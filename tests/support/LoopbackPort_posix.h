// SPDX-License-Identifier: GPL-3.0-or-later
// A TCP port on 127.0.0.1 that was free a moment ago, for tests that need a fixed port number.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

inline unsigned short FreeLoopbackPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t nLength = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength);
    ::close(s);
    return ntohs(address.sin_port);
}
