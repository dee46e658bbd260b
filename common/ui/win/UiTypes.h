// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the windowing library's types and constants are the system's own; only the
// comparisons of rectangles and points, which it lacks, and a message's window object are ours.
#pragma once

#include <windows.h>

#include <commctrl.h>

class CWnd;
// The window object that a message is for: its window's, or its nearest ancestor's.
CWnd* TargetOf(const MSG* pMsg);

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline bool operator==(const POINT& a, const POINT& b)
{
    return a.x == b.x && a.y == b.y;
}
