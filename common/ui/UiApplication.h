// SPDX-License-Identifier: GPL-3.0-or-later
// CUiApplication of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "win/UiApplication_win.h"
#else
#include "posix/UiApplication_posix.h"
#endif
