// SPDX-License-Identifier: GPL-3.0-or-later
// CDialog of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "win/Dialog_win.h"
#else
#include "posix/Dialog_posix.h"
#endif
