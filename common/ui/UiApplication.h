// SPDX-License-Identifier: GPL-3.0-or-later
// CUiApplication: the windowing library's application, one per program, made before any window.
// On Windows it registers the common controls. Elsewhere it chooses Qt's platform before Qt
// starts: with no display (neither DISPLAY nor WAYLAND_DISPLAY set) and no platform chosen, a
// program runs on Qt's offscreen platform, where message boxes go to standard error.
#pragma once

#include <memory>

class CWnd;

class CUiApplication
{
public:
    // The desktop name is the program's desktop entry, without ".desktop"; Windows has none.
    CUiApplication(int& argc, char** argv, const char* pszDesktopName = nullptr);
    ~CUiApplication();
    CUiApplication(const CUiApplication&) = delete;
    CUiApplication& operator=(const CUiApplication&) = delete;

    // True when no one can see the windows (never on Windows, which always has a screen).
    static bool IsHeadless();
    // The system's requests to end (SIGINT and SIGTERM; on Windows the console's Ctrl+C and
    // close, which arrive on a thread of the system's) close the window through its normal
    // close path (WM_CLOSE).
    void CloseOnTerminationSignals(CWnd* pMainWnd);

private:
    // The platform's part: Qt's application and the signals' notifier, or nothing.
    struct SState;
    std::unique_ptr<SState> m_pState;
};
