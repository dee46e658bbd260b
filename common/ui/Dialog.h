// SPDX-License-Identifier: GPL-3.0-or-later
// CDialog of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "Dialog_win.h"
#else
#include "Dialog_posix.h"
#endif
