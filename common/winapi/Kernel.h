// SPDX-License-Identifier: GPL-3.0-or-later
// Kernel services: last-error value, events, waits, Sleep, threads, the debugger output and the
// text conversion. The system's own on Windows, our layer elsewhere.
#pragma once

#ifdef _WIN32
#include "Kernel_win.h"
#else
#include "Kernel_posix.h"
#endif
