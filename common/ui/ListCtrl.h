// SPDX-License-Identifier: GPL-3.0-or-later
// CListCtrl of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "ListCtrl_win.h"
#else
#include "ListCtrl_posix.h"
#endif
