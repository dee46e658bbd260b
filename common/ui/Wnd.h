// SPDX-License-Identifier: GPL-3.0-or-later
// CWnd: a window of the windowing layer: the system's own window on Windows, a Qt widget
// elsewhere. Both carry the same message model and the same operations.
#pragma once

#ifdef _WIN32
#include "win/Wnd_win.h"
#else
#include "posix/Wnd_posix.h"
#endif
