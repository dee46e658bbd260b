// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's application on Windows: the common controls registered, the process
// aware of each monitor's resolution, and the console's requests to end turned into WM_CLOSE.
#pragma once

class CWnd;

class CUiApplication
{
public:
    // The desktop name is the program's desktop entry elsewhere; Windows has none.
    CUiApplication(int& argc, char** argv, const char* pszDesktopName = nullptr);
    ~CUiApplication() = default;
    CUiApplication(const CUiApplication&) = delete;
    CUiApplication& operator=(const CUiApplication&) = delete;

    // There is always a screen on Windows.
    static bool IsHeadless() { return false; }
    // The console's Ctrl+C and close, which arrive on a thread of the system's, close the window
    // through its normal close path (WM_CLOSE).
    void CloseOnTerminationSignals(CWnd* pMainWnd);
};
