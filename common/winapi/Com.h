// SPDX-License-Identifier: GPL-3.0-or-later
// The part of COM that the server uses. The system's own on Windows, our layer elsewhere.
#pragma once

#ifdef _WIN32
#include "Com_win.h"
#else
#include "Com_posix.h"
#endif
