// SPDX-License-Identifier: GPL-3.0-or-later
// CDpiScaling: a top-level dialog's windows at its monitor's resolution. Under per-monitor
// awareness the system rescales the dialog and its immediate children when it moves to a monitor
// of another resolution; the windows nested in those (the pages inside a tab control, and their
// controls) keep their pixels. This rescales them: their places and sizes within their parents,
// their fonts and their list columns.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

class CDpiScaling
{
public:
    CDpiScaling() = default;
    ~CDpiScaling();
    CDpiScaling(const CDpiScaling&) = delete;
    CDpiScaling& operator=(const CDpiScaling&) = delete;

    // Takes the dialog's resolution as it is made.
    void Start(HWND hDialog);
    void RescaleNested(HWND hDialog, UINT nDpi);

private:
    static BOOL CALLBACK RescaleOne(HWND hWnd, LPARAM lParam);
    // A length at the old resolution, at the new one.
    int Scale(int n) const;
    void Rescale(HWND hWnd);
    HFONT ScaledFont(HFONT hFont);
    void ReleaseFonts(std::vector<HFONT>& fonts);

    UINT m_nDpi = 0;
    UINT m_nNewDpi = 0;
    // The fonts made for the current resolution, each by the font it replaced.
    std::map<HFONT, HFONT> m_ScaledFonts;
    std::vector<HFONT> m_Fonts;
};
