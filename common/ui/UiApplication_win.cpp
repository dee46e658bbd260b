// SPDX-License-Identifier: GPL-3.0-or-later
// What the application does on Windows: there is always a screen, and the console's requests to
// end arrive on a thread of the system's, which may post to the window.
#include "UiApplication.h"

#include "Wnd.h"

#include <atomic>

namespace
{

std::atomic<CWnd*> g_pMainWnd{nullptr};

BOOL WINAPI OnConsoleControl(DWORD dwCtrlType)
{
    CWnd* pMainWnd = g_pMainWnd.load();
    if (pMainWnd == nullptr || dwCtrlType == CTRL_LOGOFF_EVENT)
        return FALSE;
    pMainWnd->PostMessage(WM_CLOSE);
    return TRUE;
}

} // namespace

bool CUiApplication::ChooseOffscreenPlatform()
{
    return false;
}

void CUiApplication::CloseOnTerminationSignals(CWnd* pMainWnd)
{
    g_pMainWnd = pMainWnd;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}
