// SPDX-License-Identifier: GPL-3.0-or-later
// CUiApplication of the windowing layer: over the system's windowing on Windows, over Qt elsewhere.
#pragma once

#ifdef _WIN32
#include "UiApplication_win.h"
#else
#include "UiApplication_posix.h"
#endif
