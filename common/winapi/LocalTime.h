// SPDX-License-Identifier: GPL-3.0-or-later
// The local calendar time of a moment, safe to ask from any thread.
#pragma once

#ifdef _WIN32
#include "LocalTime_win.h"
#else
#include "LocalTime_posix.h"
#endif
