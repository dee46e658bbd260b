// SPDX-License-Identifier: GPL-3.0-or-later
// The window thread's own message loop on Windows, for the loops that run a modal dialog.
#pragma once

#include "UiTypes.h"

// One message taken from the thread's queue: the key hooks, the dialog keys, then dispatch.
void PumpMessage(MSG& msg);
