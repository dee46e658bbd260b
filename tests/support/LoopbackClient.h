// SPDX-License-Identifier: GPL-3.0-or-later
// A plain TCP client for tests, through the system's own sockets: one request to 127.0.0.1 (or
// an address of the test's own namespace), the reply read until the peer closes.
#pragma once

#include "TestSockets.h"

// Connects to the address (the test's own namespace's) and port; kNoTestSocket on failure.
inline TestSocket ConnectTo(const char* pszAddress, unsigned short nPort)
{
    StartTestSockets();
    TestSocket s = NewTestSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    ::inet_pton(AF_INET, pszAddress, &address.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        CloseTestSocket(s);
    return s;
}

inline TestSocket ConnectLoopback(unsigned short nPort)
{
    return ConnectTo("127.0.0.1", nPort);
}

#ifdef _WIN32
#include "LoopbackClient_win.h"
#else
#include "LoopbackClient_posix.h"
#endif

// What a test that needs such a namespace says where it is not in one; CTest then counts the whole
// test as skipped (tests/CMakeLists.txt).
inline constexpr const char* kNotLoopbackOnly =
    "not in a loopback-only network namespace (scripts/test makes one)";
