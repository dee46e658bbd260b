// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the basic types and constants are the system's own. The build defines
// WIN32_LEAN_AND_MEAN, so windows.h leaves the old Winsock out and Winsock 2 can follow.
#pragma once

#include <windows.h>
