// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Client's resources: its dialog templates, menus and strings.
#pragma once

#include "Log.h"
#include "Resources.h"

const CResources& ClientResources();

// The client's Log page: its ids, its one button, and the standard dialog keys.
extern const SLogVariant kClientLogVariant;
