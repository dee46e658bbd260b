// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/DpiScaling.h"

#include <commctrl.h>

namespace
{

// Windows 10's per-window resolution where the system has it, else the screen's.
UINT WindowDpi(HWND hWnd)
{
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    static const auto pGetDpiForWindow =
        reinterpret_cast<GetDpiForWindowProc>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (pGetDpiForWindow != nullptr)
        return pGetDpiForWindow(hWnd);
    const HDC hDC = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(hDC, LOGPIXELSY);
    ::ReleaseDC(nullptr, hDC);
    return static_cast<UINT>(nDpi);
}

} // namespace

CDpiScaling::~CDpiScaling()
{
    ReleaseFonts(m_Fonts);
}

void CDpiScaling::Start(HWND hDialog)
{
    m_nDpi = WindowDpi(hDialog);
}

void CDpiScaling::RescaleNested(HWND hDialog, UINT nDpi)
{
    if (m_nDpi == 0 || nDpi == 0 || nDpi == m_nDpi ||
        (::GetWindowLongW(hDialog, GWL_STYLE) & WS_CHILD) != 0)
        return;
    m_nNewDpi = nDpi;
    std::vector<HFONT> oldFonts;
    oldFonts.swap(m_Fonts);
    m_ScaledFonts.clear();
    for (HWND hChild = ::GetWindow(hDialog, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::EnumChildWindows(hChild, &CDpiScaling::RescaleOne, reinterpret_cast<LPARAM>(this));
    // The windows have let go of the fonts made for the old resolution.
    ReleaseFonts(oldFonts);
    m_nDpi = nDpi;
}

BOOL CALLBACK CDpiScaling::RescaleOne(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<CDpiScaling*>(lParam)->Rescale(hWnd);
    return TRUE;
}

int CDpiScaling::Scale(int n) const
{
    return ::MulDiv(n, static_cast<int>(m_nNewDpi), static_cast<int>(m_nDpi));
}

void CDpiScaling::Rescale(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    ::SetWindowPos(hWnd, nullptr, Scale(rc.left), Scale(rc.top), Scale(rc.right - rc.left),
                   Scale(rc.bottom - rc.top), SWP_NOZORDER | SWP_NOACTIVATE);
    if (const auto hFont = reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0)))
        ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(ScaledFont(hFont)), TRUE);
    wchar_t szClass[32] = {};
    ::GetClassNameW(hWnd, szClass, 32);
    if (::lstrcmpiW(szClass, WC_LISTVIEWW) != 0)
        return;
    const HWND hHeader = ListView_GetHeader(hWnd);
    const int nColumns = hHeader != nullptr ? Header_GetItemCount(hHeader) : 0;
    for (int i = 0; i < nColumns; ++i)
        ListView_SetColumnWidth(hWnd, i, Scale(ListView_GetColumnWidth(hWnd, i)));
}

HFONT CDpiScaling::ScaledFont(HFONT hFont)
{
    const auto it = m_ScaledFonts.find(hFont);
    if (it != m_ScaledFonts.end())
        return it->second;
    LOGFONTW font{};
    ::GetObjectW(hFont, sizeof font, &font);
    font.lfHeight = Scale(font.lfHeight);
    font.lfWidth = Scale(font.lfWidth);
    const HFONT hScaled = ::CreateFontIndirectW(&font);
    if (hScaled == nullptr)
        return hFont;
    m_ScaledFonts.emplace(hFont, hScaled);
    m_Fonts.push_back(hScaled);
    return hScaled;
}

void CDpiScaling::ReleaseFonts(std::vector<HFONT>& fonts)
{
    for (const HFONT hFont : fonts)
        ::DeleteObject(hFont);
    fonts.clear();
}
