// SPDX-License-Identifier: GPL-3.0-or-later
// The few socket calls that the tests' own servers make, through the system's sockets.
#pragma once

#ifdef _WIN32
#include "TestSockets_win.h"
#else
#include "TestSockets_posix.h"
#endif
