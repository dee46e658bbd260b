// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's message, style and command constants as the programs use them, and its
// rectangle and point types: the system's own on Windows, ours elsewhere, with the window type of
// the port that the library is built for.
#pragma once

#if defined(_WIN32)
#include "win/UiTypes.h"
#else
#include "qt/UiTypes.h"
#endif
