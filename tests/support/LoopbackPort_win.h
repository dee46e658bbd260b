// SPDX-License-Identifier: GPL-3.0-or-later
// The free loopback port, asked of Winsock.
#pragma once

#include <winsock2.h>

inline unsigned short FreeLoopbackPort()
{
    WSADATA wsaData;
    ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int nLength = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength);
    ::closesocket(s);
    ::WSACleanup();
    return ntohs(address.sin_port);
}
