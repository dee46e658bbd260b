// SPDX-License-Identifier: GPL-3.0-or-later
// The basic Windows types and constants that the programs use. The system's own on Windows, our
// layer elsewhere.
#pragma once

#ifdef _WIN32
#include "WinTypes_win.h"
#else
#include "WinTypes_posix.h"
#endif
