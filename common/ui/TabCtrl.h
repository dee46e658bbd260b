// SPDX-License-Identifier: GPL-3.0-or-later
// CTabCtrl of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "win/TabCtrl_win.h"
#else
#include "posix/TabCtrl_posix.h"
#endif
