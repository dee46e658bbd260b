// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's message, style and command constants as the programs use them, and
// its rectangle and point types (rectangles exclude their right and bottom edges), for the ports
// other than the system's own: each port names its window and icon types (HWND, HICON) first.
#pragma once

#include "WinTypes_posix.h"

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

class CWnd;

// A message as the hook sees it; the window it is for is the window object itself.
struct MSG {
    CWnd* hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline MSG MakeMessage(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return MSG{pWnd, message, wParam, lParam};
}

inline CWnd* TargetOf(const MSG* pMsg)
{
    return pMsg->hwnd;
}

// The header of a control's notification to its parent.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

struct RECT {
    int left;
    int top;
    int right;
    int bottom;
    friend bool operator==(const RECT&, const RECT&) = default;
};

struct POINT {
    int x;
    int y;
    friend bool operator==(const POINT&, const POINT&) = default;
};

constexpr WORD LOWORD(WPARAM w)
{
    return static_cast<WORD>(w & 0xFFFF);
}
constexpr WORD HIWORD(WPARAM w)
{
    return static_cast<WORD>((w >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(WORD wLow, WORD wHigh)
{
    return static_cast<LPARAM>(static_cast<DWORD>(wLow) | (static_cast<DWORD>(wHigh) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD wLow, WORD wHigh)
{
    return static_cast<WPARAM>(wLow) | (static_cast<WPARAM>(wHigh) << 16);
}

// Messages.
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
// The first message number that a program may give a meaning of its own.
inline constexpr UINT WM_APP = 0x8000;

// Virtual keys.
inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_SPACE = 0x20;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;

// Notification codes carried in the high word of a command.
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD EN_CHANGE = 0x0300;
inline constexpr UINT TCN_SELCHANGE = static_cast<UINT>(-551);

// Dialog results and standard command ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window styles.
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD DS_MODALFRAME = 0x80;
inline constexpr DWORD DS_SHELLFONT = 0x48;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Control styles.
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD ES_AUTOHSCROLL = 0x80;
inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_ICON = 0x3;
inline constexpr DWORD LVS_REPORT = 0x1;
inline constexpr DWORD LVS_SINGLESEL = 0x4;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x8;
inline constexpr DWORD LVS_ALIGNLEFT = 0x800;
inline constexpr DWORD LVS_NOSORTHEADER = 0x8000;
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr UINT LVIR_BOUNDS = 0;
inline constexpr UINT LVIR_LABEL = 2;

// Showing and placing windows.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr UINT SWP_NOSIZE = 0x1;
inline constexpr UINT SWP_NOMOVE = 0x2;
inline constexpr UINT SWP_SHOWWINDOW = 0x40;
inline constexpr UINT SWP_HIDEWINDOW = 0x80;

// Menus.
inline constexpr UINT MF_STRING = 0x0;
inline constexpr UINT MF_ENABLED = 0x0;
inline constexpr UINT MF_BYCOMMAND = 0x0;
inline constexpr UINT MF_GRAYED = 0x1;
inline constexpr UINT MF_DISABLED = 0x2;
inline constexpr UINT MF_SEPARATOR = 0x800;
inline constexpr UINT TPM_LEFTALIGN = 0x0;
inline constexpr UINT TPM_RIGHTBUTTON = 0x2;
inline constexpr UINT SC_MINIMIZE = 0xF020;
inline constexpr UINT SC_CLOSE = 0xF060;

// Message boxes.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;
