// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's types without a toolkit: a window of the platform's is a window held
// in memory, and there are no icons to show.
#pragma once

struct SWindow;
using HWND = SWindow*;
struct SIcon;
using HICON = const SIcon*;

#include "UiTypes_posix.h"
