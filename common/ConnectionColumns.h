// SPDX-License-Identifier: GPL-3.0-or-later
// The four columns of both programs' connection lists: name, type, status, shared.
#pragma once

#include "ListCtrl.h"

inline constexpr int kNameWidth = 160;   // pixels
inline constexpr int kTypeWidth = 120;   // pixels
inline constexpr int kStatusWidth = 100; // pixels
inline constexpr int kSharedWidth = 60;  // pixels

inline void InsertConnectionColumns(CListCtrl& list)
{
    list.InsertColumn(0, "Name", LVCFMT_LEFT, kNameWidth);
    list.InsertColumn(1, "Type", LVCFMT_LEFT, kTypeWidth);
    list.InsertColumn(2, "Connection status", LVCFMT_LEFT, kStatusWidth);
    list.InsertColumn(3, "Shared", LVCFMT_LEFT, kSharedWidth);
}
