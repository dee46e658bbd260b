// SPDX-License-Identifier: GPL-3.0-or-later
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

// Windows keeps the application's state itself.
struct CUiApplication::SState {
};

CUiApplication::CUiApplication(int&, char**, const char*)
{
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
}

CUiApplication::~CUiApplication() = default;

bool CUiApplication::IsHeadless()
{
    return false;
}

void CUiApplication::CloseOnTerminationSignals(CWnd* pMainWnd)
{
    g_pMainWnd = pMainWnd;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}
