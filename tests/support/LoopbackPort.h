// SPDX-License-Identifier: GPL-3.0-or-later
// A TCP port on 127.0.0.1 that was free a moment ago, for tests that need a fixed port number.
#pragma once

#include "LoopbackListener.h"

inline unsigned short FreeLoopbackPort()
{
    [[maybe_unused]] const CTestSockets sockets;
    TestSocket s = NewTestSocket();
    const unsigned short nPort = ListenOnLoopback(s, 1);
    CloseTestSocket(s);
    return nPort;
}
