// SPDX-License-Identifier: GPL-3.0-or-later
// Whether another thread of this process has come to block in a wait, read from the kernel, so
// that a test waits for that condition instead of a pause that guesses it.
#pragma once

#ifdef _WIN32
#include "ThreadState_win.h"
#else
#include "ThreadState_posix.h"
#endif
