// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the windowing library's types and constants are the system's own; only the
// comparisons of rectangles and points, which it lacks, are ours.
#pragma once

#include <windows.h>

#include <commctrl.h>

class CWnd;

// The system's message record; the handle of our windows is the window object itself.
inline MSG MakeMessage(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = reinterpret_cast<HWND>(pWnd);
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return msg;
}

inline CWnd* TargetOf(const MSG* pMsg)
{
    return reinterpret_cast<CWnd*>(pMsg->hwnd);
}

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline bool operator==(const POINT& a, const POINT& b)
{
    return a.x == b.x && a.y == b.y;
}
