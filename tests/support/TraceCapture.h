// SPDX-License-Identifier: GPL-3.0-or-later
// Captures what the code under test writes to the debugger output while the object lives: on
// Windows the system's debug strings, elsewhere standard error (or another descriptor).
#pragma once

#ifdef _WIN32
#include "TraceCapture_win.h"
#else
#include "TraceCapture_posix.h"
#endif
