// SPDX-License-Identifier: GPL-3.0-or-later
// A window's operations without a toolkit, over its window in memory.
#include "headless/MessageQueue.h"
#include "headless/WndState.h"

CWnd::CWnd() : m_pState(std::make_unique<SState>())
{
    m_pState->pLink->pWnd = this;
}

CWnd::~CWnd()
{
    if (GetMainWnd() == this)
        SetMainWnd(nullptr);
    {
        std::lock_guard lock(m_pState->pLink->Mutex);
        m_pState->pLink->pWnd = nullptr;
    }
    Detach();
}

HWND CWnd::GetSafeHwnd() const
{
    return m_pState->Window();
}

CWnd* CWnd::FromHandle(HWND pWindow)
{
    if (pWindow == nullptr || pWindow->pLink == nullptr)
        return nullptr;
    std::lock_guard lock(pWindow->pLink->Mutex);
    return pWindow->pLink->pWnd;
}

CWnd* CWnd::FromHandleOrAncestor(HWND pWindow)
{
    for (; pWindow != nullptr; pWindow = pWindow->pParent) {
        if (CWnd* pWnd = FromHandle(pWindow))
            return pWnd;
    }
    return nullptr;
}

void CWnd::Attach(HWND pWindow)
{
    Detach();
    m_pState->bOwnsWindow = false;
    if (pWindow == nullptr)
        return;
    // A window has one object: one that had it before loses it.
    if (pWindow->pLink != nullptr) {
        std::lock_guard lock(pWindow->pLink->Mutex);
        pWindow->pLink->pWindow = nullptr;
    }
    m_pState->dwStyle = pWindow->pParent == nullptr ? 0 : WS_CHILD;
    pWindow->pLink = m_pState->pLink;
    std::lock_guard lock(m_pState->pLink->Mutex);
    m_pState->pLink->pWindow = pWindow;
}

void CWnd::AttachOwned(HWND pWindow, DWORD dwStyle)
{
    Attach(pWindow);
    m_pState->bOwnsWindow = true;
    m_pState->dwStyle = dwStyle;
}

void CWnd::Detach()
{
    SWindow* pWindow = m_pState->Window();
    if (pWindow == nullptr)
        return;
    if (m_pState->bOwnsWindow) {
        delete pWindow;
        return;
    }
    pWindow->pLink.reset();
    {
        std::lock_guard lock(m_pState->pLink->Mutex);
        m_pState->pLink->pWindow = nullptr;
    }
    CMessageQueue::Instance().Drop(m_pState->pLink.get());
}

DWORD CWnd::GetStyle() const
{
    return m_pState->dwStyle;
}

CWnd* CWnd::GetParent() const
{
    SWindow* pWindow = m_pState->Window();
    return pWindow != nullptr ? FromHandleOrAncestor(pWindow->pParent) : nullptr;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    SWindow* pWindow = m_pState->Window();
    if (pWindow == nullptr)
        return FALSE;
    const BOOL bWasVisible = pWindow->IsVisible();
    pWindow->bVisible = nCmdShow != SW_HIDE;
    pWindow->bMinimized = nCmdShow == SW_MINIMIZE;
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    SWindow* pWindow = m_pState->Window();
    return pWindow != nullptr && pWindow->IsVisible();
}

BOOL CWnd::SetWindowPos(int x, int y, int cx, int cy, UINT nFlags)
{
    SWindow* pWindow = m_pState->Window();
    if (pWindow == nullptr)
        return FALSE;
    RECT& rc = pWindow->rc;
    if ((nFlags & SWP_NOMOVE) == 0)
        rc = RECT{x, y, x + rc.right - rc.left, y + rc.bottom - rc.top};
    if ((nFlags & SWP_NOSIZE) == 0)
        rc = RECT{rc.left, rc.top, rc.left + cx, rc.top + cy};
    if ((nFlags & SWP_SHOWWINDOW) != 0)
        pWindow->bVisible = true;
    if ((nFlags & SWP_HIDEWINDOW) != 0)
        pWindow->bVisible = false;
    return TRUE;
}

CWnd* CWnd::SetFocus()
{
    SWindow* pWindow = m_pState->Window();
    if (pWindow == nullptr)
        return nullptr;
    CWnd* pPrevious = FromHandleOrAncestor(SWindow::Focus());
    // A window that takes no focus itself hands it to its first control that does.
    SWindow* pTarget = pWindow->FocusTarget();
    SWindow::Focus() = pTarget != nullptr ? pTarget : pWindow;
    return pPrevious;
}

void CWnd::GetClientRect(RECT* pRect) const
{
    SWindow* pWindow = m_pState->Window();
    const RECT rc = pWindow != nullptr ? pWindow->rc : RECT{};
    *pRect = RECT{0, 0, rc.right - rc.left, rc.bottom - rc.top};
}

void CWnd::ClientToScreen(POINT* pPoint) const
{
    for (SWindow* pWindow = m_pState->Window(); pWindow != nullptr; pWindow = pWindow->pParent)
        *pPoint = POINT{pPoint->x + pWindow->rc.left, pPoint->y + pWindow->rc.top};
}

void CWnd::SetWindowText(const std::string& strText)
{
    if (SWindow* pWindow = m_pState->Window())
        pWindow->strText = strText;
}

std::string CWnd::GetWindowText() const
{
    SWindow* pWindow = m_pState->Window();
    return pWindow != nullptr ? pWindow->strText : std::string();
}

// There is no screen to show an icon on.
void CWnd::SetIcon(HICON, BOOL) {}

// There are no messages of a toolkit to take first.
std::optional<bool> CWnd::TakePlatformMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return std::nullopt;
}

// A control's own handling runs only where the layer gives it (a tab's press).
LRESULT CWnd::SystemDefault(const SHandledMessage&)
{
    return 0;
}

// There is no system to do either: the layer minimises, and closes by WM_CLOSE.
void CWnd::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == SC_MINIMIZE)
        ShowWindow(SW_MINIMIZE);
    else if ((nID & 0xFFF0) == SC_CLOSE)
        SendMessage(WM_CLOSE);
}

// As the system's handling does: the window goes from the screen; the object stays.
void CWnd::OnClose()
{
    ShowWindow(SW_HIDE);
}
