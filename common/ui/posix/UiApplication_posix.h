// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's application: it chooses the platform before Qt starts. With no display
// (neither DISPLAY nor WAYLAND_DISPLAY set) and no platform chosen, a program runs on Qt's
// offscreen platform, where message boxes go to standard error.
#pragma once

#include <QApplication>
#include <memory>

class CWnd;
class QSocketNotifier;

class CUiApplication
{
public:
    // The desktop name is the program's desktop entry, without ".desktop".
    CUiApplication(int& argc, char** argv, const char* pszDesktopName = nullptr);
    ~CUiApplication();
    CUiApplication(const CUiApplication&) = delete;
    CUiApplication& operator=(const CUiApplication&) = delete;

    static bool IsHeadless();
    // The system's requests to end (SIGINT and SIGTERM; on Windows Ctrl+C and the console's
    // close) close the window through its normal close path (WM_CLOSE).
    void CloseOnTerminationSignals(CWnd* pMainWnd);

private:
    // True when there is no screen at all, and so Qt's offscreen platform was chosen here.
    static bool ChooseOffscreenPlatform();

    std::unique_ptr<QApplication> m_pApplication;
    std::unique_ptr<QSocketNotifier> m_pSignalNotifier; // only where signals arrive by descriptor
};
