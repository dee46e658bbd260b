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

BOOL CWnd::WalkPreTranslateTree(MSG* pMsg)
{
    for (CWnd* pWnd = TargetOf(pMsg); pWnd != nullptr; pWnd = pWnd->GetParent()) {
        if (pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        // The walk ends at the top-level window: an owner never sees its dialog's messages.
        if ((pWnd->GetStyle() & WS_CHILD) == 0)
            break;
    }
    return FALSE;
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                    const std::function<LRESULT()>& defaultHandling)
{
    if (const std::optional<bool> bTaken = TakePlatformMessage(message, wParam, lParam, lResult))
        return *bTaken;
    SHandledMessage handled{message, wParam, lParam, &defaultHandling, false, 0};
    SHandledMessage* pOuter = m_pHandled;
    m_pHandled = &handled;
    lResult = WindowProc(message, wParam, lParam);
    m_pHandled = pOuter;
    if (handled.bDefault)
        lResult = handled.lDefault;
    return !handled.bDefault;
}

void CWnd::Default()
{
    if (m_pHandled == nullptr || m_pHandled->bDefault)
        return;
    m_pHandled->bDefault = true;
    m_pHandled->lDefault =
        *m_pHandled->pDefault ? (*m_pHandled->pDefault)() : SystemDefault(*m_pHandled);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return TakenOrDefault(OnCommand(wParam, lParam));
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_CONTEXTMENU: {
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return TakenOrDefault(OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)), point));
    }
    case WM_NOTIFY: {
        // A control's notification goes to its parent, which hands it back to the control.
        const auto* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        CWnd* pChild = FromHandle(pHeader->hwndFrom);
        return TakenOrDefault(pChild != nullptr && pChild != this &&
                              pChild->OnChildNotify(pHeader));
    }
    default:
        Default();
        return 0;
    }
}

// What no handler took gets the platform's handling. The result tells the sender whether one
// did: our own layer's senders read it, and the system ignores it for these messages.
LRESULT CWnd::TakenOrDefault(BOOL bTaken)
{
    if (!bTaken)
        Default();
    return bTaken;
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
