// SPDX-License-Identifier: GPL-3.0-or-later
// A window's operations on Linux, over its widget.
#include "qt/KeyRouter.h"
#include "qt/WndState.h"

#include <QApplication>
#include <QIcon>

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
    return m_pState->pWidget;
}

CWnd* CWnd::FromHandle(HWND pWidget)
{
    if (pWidget == nullptr)
        return nullptr;
    const CWndBridge* pBridge = CWndBridge::Of(pWidget);
    return pBridge != nullptr ? pBridge->Wnd() : nullptr;
}

CWnd* CWnd::FromHandleOrAncestor(HWND pWidget)
{
    for (; pWidget != nullptr; pWidget = pWidget->parentWidget()) {
        if (CWnd* pWnd = FromHandle(pWidget))
            return pWnd;
    }
    return nullptr;
}

void CWnd::Attach(HWND pWidget)
{
    Detach();
    InstallKeyRouter();
    m_pState->pWidget = pWidget;
    m_pState->bOwnsWidget = false;
    if (pWidget == nullptr)
        return;
    m_pState->dwStyle = pWidget->isWindow() ? 0 : WS_CHILD;
    auto* pBridge = new CWndBridge(pWidget, m_pState->pLink);
    std::lock_guard lock(m_pState->pLink->Mutex);
    m_pState->pLink->pBridge = pBridge;
}

void CWnd::AttachOwned(HWND pWidget, DWORD dwStyle)
{
    Attach(pWidget);
    m_pState->bOwnsWidget = true;
    m_pState->dwStyle = dwStyle;
}

void CWnd::Detach()
{
    CWndBridge* pBridge = nullptr;
    {
        std::lock_guard lock(m_pState->pLink->Mutex);
        pBridge = m_pState->pLink->pBridge;
        m_pState->pLink->pBridge = nullptr;
    }
    if (m_pState->pWidget == nullptr)
        return;
    if (m_pState->bOwnsWidget)
        delete m_pState->pWidget;
    else
        delete pBridge;
    m_pState->pWidget = nullptr;
}

DWORD CWnd::GetStyle() const
{
    return m_pState->dwStyle;
}

CWnd* CWnd::GetParent() const
{
    return m_pState->pWidget != nullptr ? FromHandleOrAncestor(m_pState->pWidget->parentWidget())
                                        : nullptr;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (m_pState->pWidget == nullptr)
        return FALSE;
    const BOOL bWasVisible = m_pState->pWidget->isVisible();
    if (nCmdShow == SW_HIDE)
        m_pState->pWidget->hide();
    else if (nCmdShow == SW_MINIMIZE)
        m_pState->pWidget->showMinimized();
    else
        m_pState->pWidget->show();
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_pState->pWidget != nullptr && m_pState->pWidget->isVisible();
}

BOOL CWnd::SetWindowPos(int x, int y, int cx, int cy, UINT nFlags)
{
    if (m_pState->pWidget == nullptr)
        return FALSE;
    if ((nFlags & SWP_NOMOVE) == 0)
        m_pState->pWidget->move(x, y);
    if ((nFlags & SWP_NOSIZE) == 0)
        m_pState->pWidget->resize(cx, cy);
    m_pState->pWidget->raise();
    if ((nFlags & SWP_SHOWWINDOW) != 0)
        m_pState->pWidget->show();
    if ((nFlags & SWP_HIDEWINDOW) != 0)
        m_pState->pWidget->hide();
    return TRUE;
}

CWnd* CWnd::SetFocus()
{
    if (m_pState->pWidget == nullptr)
        return nullptr;
    CWnd* pPrevious = FromHandleOrAncestor(QApplication::focusWidget());
    // A window that takes no focus itself hands it to its first control that does.
    QWidget* pTarget = m_pState->pWidget;
    if (pTarget->focusPolicy() == Qt::NoFocus) {
        for (QWidget* pNext = pTarget->nextInFocusChain(); pNext != m_pState->pWidget;
             pNext = pNext->nextInFocusChain()) {
            if (m_pState->pWidget->isAncestorOf(pNext) && pNext->isVisibleTo(m_pState->pWidget) &&
                pNext->isEnabled() && (pNext->focusPolicy() & Qt::TabFocus) != 0) {
                pTarget = pNext;
                break;
            }
        }
    }
    pTarget->setFocus(Qt::OtherFocusReason);
    return pPrevious;
}

void CWnd::GetClientRect(RECT* pRect) const
{
    const QRect rc = m_pState->pWidget != nullptr ? m_pState->pWidget->rect() : QRect();
    *pRect = RECT{0, 0, rc.width(), rc.height()};
}

void CWnd::ClientToScreen(POINT* pPoint) const
{
    if (m_pState->pWidget == nullptr)
        return;
    const QPoint point = m_pState->pWidget->mapToGlobal(QPoint(pPoint->x, pPoint->y));
    *pPoint = POINT{point.x(), point.y()};
}

void CWnd::SetWindowText(const std::string& strText)
{
    if (m_pState->pWidget != nullptr)
        m_pState->pWidget->setWindowTitle(QString::fromStdString(strText));
}

std::string CWnd::GetWindowText() const
{
    return m_pState->pWidget != nullptr ? m_pState->pWidget->windowTitle().toStdString()
                                        : std::string();
}

void CWnd::SetIcon(HICON hIcon, BOOL)
{
    if (m_pState->pWidget != nullptr && hIcon != nullptr)
        m_pState->pWidget->setWindowIcon(*hIcon);
}

// Qt has no messages of its own to take first.
std::optional<bool> CWnd::TakePlatformMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return std::nullopt;
}

// A widget's own handling runs only where the layer gives it (a tab's press).
LRESULT CWnd::SystemDefault(const SHandledMessage&)
{
    return 0;
}

// The system has no handling of its own here: the layer minimises, and closes by WM_CLOSE.
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
