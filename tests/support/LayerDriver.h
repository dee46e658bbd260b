// SPDX-License-Identifier: GPL-3.0-or-later
// The user's hands for the windowing layer's tests, one driver per platform: clicks, keys and
// text reach the platform's controls as the user's would, a window that a modal loop shows is
// acted on from inside that loop, and the window thread runs until a condition holds. The
// layer's contract is then tested once, on Qt's offscreen platform and under Wine.
#pragma once

#if defined(_WIN32)
#include "LayerDriver_win.h"
#else
#include "LayerDriver_qt.h"
#endif
