// SPDX-License-Identifier: GPL-3.0-or-later
// What a window does alike on every platform.
#include "Wnd.h"

namespace
{

CWnd* g_pMainWnd = nullptr;

} // namespace

CWnd* CWnd::GetTopLevelWindow()
{
    CWnd* pWnd = this;
    while ((pWnd->GetStyle() & WS_CHILD) != 0 && pWnd->GetParent() != nullptr)
        pWnd = pWnd->GetParent();
    return pWnd;
}

void CWnd::ClientToScreen(RECT* pRect) const
{
    POINT topLeft{pRect->left, pRect->top};
    ClientToScreen(&topLeft);
    *pRect = RECT{topLeft.x, topLeft.y, topLeft.x + pRect->right - pRect->left,
                  topLeft.y + pRect->bottom - pRect->top};
}

void CWnd::SetMainWnd(CWnd* pWnd)
{
    g_pMainWnd = pWnd;
}

CWnd* CWnd::GetMainWnd()
{
    return g_pMainWnd;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM, LPARAM)
{
    return FALSE;
}

BOOL CWnd::OnContextMenu(CWnd*, POINT)
{
    return FALSE;
}

BOOL CWnd::OnChildNotify(const NMHDR*)
{
    return FALSE;
}
