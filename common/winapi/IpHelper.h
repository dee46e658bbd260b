// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper's notification of changes to the machine's IPv4 addresses. The system's own on
// Windows, our layer (over rtnetlink) elsewhere.
#pragma once

#ifdef _WIN32
#include "IpHelper_win.h"
#else
#include "IpHelper_posix.h"
#endif
