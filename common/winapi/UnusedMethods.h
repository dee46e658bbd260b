// SPDX-License-Identifier: GPL-3.0-or-later
// The methods of the system's interfaces that Tarnlow never calls, answered E_NOTIMPL, so that our
// own objects and test doubles implement only what is used. Only Windows has such methods.
#pragma once

#ifdef _WIN32
#include "UnusedMethods_win.h"
#else
#include "UnusedMethods_posix.h"
#endif
