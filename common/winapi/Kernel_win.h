// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the kernel services are the system's own.
#pragma once

#include "WinTypes_win.h"
