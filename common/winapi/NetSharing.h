// SPDX-License-Identifier: GPL-3.0-or-later
// The connection-sharing service's interfaces, as far as the server uses them. The system's own on
// Windows, our layer elsewhere.
#pragma once

#ifdef _WIN32
#include "NetSharing_win.h"
#else
#include "NetSharing_posix.h"
#endif
