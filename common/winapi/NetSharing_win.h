// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the connection-sharing service is the system's own NetSharingManager (hnetcfg).
#pragma once

#include "Com_win.h"

#include <netcon.h>
