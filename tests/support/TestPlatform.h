// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests need to know of the platform under them: whether its services are our own layer
// (which some tests check in its own right) or the system's, and whether Wine stands in for it.
#pragma once

#ifdef _WIN32
#include "TestPlatform_win.h"
#else
#include "TestPlatform_posix.h"
#endif
