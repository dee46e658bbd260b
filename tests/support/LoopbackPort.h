// SPDX-License-Identifier: GPL-3.0-or-later
// A TCP port on 127.0.0.1 that was free a moment ago, for tests that need a fixed port number.
#pragma once

#ifdef _WIN32
#include "LoopbackPort_win.h"
#else
#include "LoopbackPort_posix.h"
#endif
