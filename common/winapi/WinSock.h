// SPDX-License-Identifier: GPL-3.0-or-later
// Winsock 2.2 as the programs use it, its calls in namespace Winsock. The system's own on Windows,
// our layer elsewhere.
#pragma once

#ifdef _WIN32
#include "WinSock_win.h"
#else
#include "WinSock_posix.h"
#endif
