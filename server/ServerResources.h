// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Server's resources: its dialog templates, menus and strings.
#pragma once

#include "Log.h"
#include "Resources.h"

const CResources& ServerResources();

// The server's Log page: its ids, its three buttons, and its key filter.
extern const SLogVariant kServerLogVariant;
