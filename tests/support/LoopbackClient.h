// SPDX-License-Identifier: GPL-3.0-or-later
// A plain TCP client for tests, through the system's own sockets: one request to 127.0.0.1 (or
// an address of the test's own namespace), the reply read until the peer closes.
#pragma once

#ifdef _WIN32
#include "LoopbackClient_win.h"
#else
#include "LoopbackClient_posix.h"
#endif
