// SPDX-License-Identifier: GPL-3.0-or-later
// CListCtrl of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "win/ListCtrl_win.h"
#else
#include "posix/ListCtrl_posix.h"
#endif
