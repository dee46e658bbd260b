// SPDX-License-Identifier: GPL-3.0-or-later
#include "Wnd.h"

#include "Kernel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

// The caller's side of a call posted to a window's thread.
struct SCallState {
    std::mutex Mutex;
    std::condition_variable Finished;
    bool bFinished = false;
    bool bRan = false;
};

// What a window object and its widget's bridge know of each other, under one lock, so that a
// post or send from another thread never reaches a window that has gone.
struct SWndLink {
    std::mutex Mutex;
    CWnd* pWnd = nullptr;
    class CWndBridge* pBridge = nullptr;
};

namespace
{

// Events that other threads post travel through Qt's queue, whose locks ThreadSanitizer cannot
// see. Posting under this lock and taking it before reading a posted event makes the hand-over
// visible to it; it costs an uncontended lock per event.
std::mutex& HandOffMutex()
{
    static std::mutex mutex;
    return mutex;
}

void AcquireHandOff()
{
    std::lock_guard lock(HandOffMutex());
}

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CPostedMessageEvent : public QEvent
{
public:
    explicit CPostedMessageEvent(const MSG& msg) : QEvent(kPostedMessageEvent), m_Msg(msg) {}
    MSG m_Msg;
};

// Ends its caller's wait when it is done with, whether it ran or was dropped with its window.
class CCallEvent : public QEvent
{
public:
    CCallEvent(std::function<void()> call, std::shared_ptr<SCallState> pState)
        : QEvent(kCallEvent), m_Call(std::move(call)), m_pState(std::move(pState))
    {
    }
    ~CCallEvent() override
    {
        AcquireHandOff();
        std::lock_guard lock(m_pState->Mutex);
        m_pState->bFinished = true;
        m_pState->Finished.notify_all();
    }
    void Run()
    {
        m_Call();
        std::lock_guard lock(m_pState->Mutex);
        m_pState->bRan = true;
    }

private:
    std::function<void()> m_Call;
    std::shared_ptr<SCallState> m_pState;
};

WPARAM VirtualKey(int nKey)
{
    switch (nKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    default:
        return (nKey >= Qt::Key_0 && nKey <= Qt::Key_Z) ? static_cast<WPARAM>(nKey) : 0;
    }
}

// The window object of a widget or of an ancestor inside the same top-level window. A message
// box or dialog is a top-level window of its own: its keys never reach its owner's hooks.
CWnd* WindowInSameTopLevel(const QWidget* pWidget)
{
    for (; pWidget != nullptr; pWidget = pWidget->parentWidget()) {
        if (CWnd* pWnd = CWnd::FromWidget(pWidget))
            return pWnd;
        if (pWidget->isWindow())
            return nullptr;
    }
    return nullptr;
}

// Gives every key press to the windows' hooks before the widget that has the focus sees it.
class CKeyRouter : public QObject
{
public:
    bool eventFilter(QObject* pReceiver, QEvent* pEvent) override
    {
        if (!pReceiver->isWidgetType() || pEvent->type() != QEvent::KeyPress)
            return false;
        auto* pWidget = static_cast<QWidget*>(pReceiver);
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        // A key that its widget did not take travels on to the parents as the same event:
        // route it once only.
        const bool bPropagated = pKey == m_pLastEvent && pKey->key() == m_nLastKey &&
                                 pKey->timestamp() == m_nLastTimestamp &&
                                 m_pLastReceiver != nullptr && pWidget != m_pLastReceiver &&
                                 pWidget->isAncestorOf(m_pLastReceiver);
        m_pLastEvent = pKey;
        m_nLastKey = pKey->key();
        m_nLastTimestamp = pKey->timestamp();
        m_pLastReceiver = pWidget;
        if (bPropagated)
            return false;
        CWnd* pWnd = WindowInSameTopLevel(pWidget);
        if (pWnd == nullptr)
            return false;
        if (pKey->key() == Qt::Key_Space && pKey->modifiers() == Qt::AltModifier) {
            CWnd* pTop = CWnd::FromWidget(pWidget->window());
            return pTop != nullptr && pTop->SendMessage(WM_SYSKEYDOWN, VK_SPACE, 0) != 0;
        }
        MSG msg = MakeMessage(pWnd, WM_KEYDOWN, VirtualKey(pKey->key()), 0);
        return CWnd::WalkPreTranslateTree(&msg) != FALSE;
    }

private:
    const QKeyEvent* m_pLastEvent = nullptr;
    int m_nLastKey = 0;
    quint64 m_nLastTimestamp = 0;
    QPointer<QWidget> m_pLastReceiver;
};

void InstallKeyRouter()
{
    static CKeyRouter* pRouter = nullptr;
    if (pRouter != nullptr || QCoreApplication::instance() == nullptr)
        return;
    pRouter = new CKeyRouter;
    pRouter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(pRouter);
}

} // namespace

// Lives as a child of the widget: receives the window's posted messages and calls, and turns
// the widget's close requests into WM_CLOSE.
class CWndBridge : public QObject
{
public:
    CWndBridge(QWidget* pWidget, std::shared_ptr<SWndLink> pLink)
        : QObject(pWidget), m_pLink(std::move(pLink))
    {
        setObjectName(QStringLiteral("CWndBridge"));
        pWidget->installEventFilter(this);
    }
    ~CWndBridge() override
    {
        std::lock_guard lock(m_pLink->Mutex);
        if (m_pLink->pBridge == this)
            m_pLink->pBridge = nullptr;
    }

    CWnd* Wnd() const
    {
        std::lock_guard lock(m_pLink->Mutex);
        return m_pLink->pWnd;
    }

protected:
    bool event(QEvent* pEvent) override
    {
        AcquireHandOff();
        if (pEvent->type() == kCallEvent) {
            static_cast<CCallEvent*>(pEvent)->Run();
            return true;
        }
        if (pEvent->type() == kPostedMessageEvent) {
            MSG msg = static_cast<CPostedMessageEvent*>(pEvent)->m_Msg;
            if (Wnd() != nullptr && !CWnd::WalkPreTranslateTree(&msg))
                Wnd()->WindowProc(msg.message, msg.wParam, msg.lParam);
            return true;
        }
        return QObject::event(pEvent);
    }

    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        CWnd* pWnd = Wnd();
        if (pWnd == nullptr)
            return false;
        if (pEvent->type() == QEvent::Close) {
            // The window decides itself whether and how it closes.
            pEvent->ignore();
            pWnd->SendMessage(WM_CLOSE);
            return true;
        }
        if (pEvent->type() == QEvent::ContextMenu) {
            auto* pMenuEvent = static_cast<QContextMenuEvent*>(pEvent);
            const POINT point =
                pMenuEvent->reason() == QContextMenuEvent::Keyboard
                    ? POINT{-1, -1}
                    : POINT{pMenuEvent->globalPos().x(), pMenuEvent->globalPos().y()};
            return pWnd->OnContextMenu(pWnd, point) != FALSE;
        }
        return false;
    }

private:
    std::shared_ptr<SWndLink> m_pLink;
};

CWnd::CWnd() : m_pLink(std::make_shared<SWndLink>())
{
    m_pLink->pWnd = this;
}

CWnd::~CWnd()
{
    if (GetMainWnd() == this)
        SetMainWnd(nullptr);
    {
        std::lock_guard lock(m_pLink->Mutex);
        m_pLink->pWnd = nullptr;
    }
    Detach();
}

CWnd* CWnd::FromWidget(const QWidget* pWidget)
{
    if (pWidget == nullptr)
        return nullptr;
    const auto* pBridge =
        pWidget->findChild<CWndBridge*>(QStringLiteral("CWndBridge"), Qt::FindDirectChildrenOnly);
    return pBridge != nullptr ? pBridge->Wnd() : nullptr;
}

CWnd* CWnd::FromWidgetOrAncestor(const QWidget* pWidget)
{
    for (; pWidget != nullptr; pWidget = pWidget->parentWidget()) {
        if (CWnd* pWnd = FromWidget(pWidget))
            return pWnd;
    }
    return nullptr;
}

void CWnd::Attach(QWidget* pWidget)
{
    Detach();
    InstallKeyRouter();
    m_pWidget = pWidget;
    m_bOwnsWidget = false;
    if (pWidget == nullptr)
        return;
    m_dwStyle = pWidget->isWindow() ? 0 : WS_CHILD;
    auto* pBridge = new CWndBridge(pWidget, m_pLink);
    std::lock_guard lock(m_pLink->Mutex);
    m_pLink->pBridge = pBridge;
}

void CWnd::AttachOwned(QWidget* pWidget, DWORD dwStyle)
{
    Attach(pWidget);
    m_bOwnsWidget = true;
    m_dwStyle = dwStyle;
}

void CWnd::Detach()
{
    CWndBridge* pBridge = nullptr;
    {
        std::lock_guard lock(m_pLink->Mutex);
        pBridge = m_pLink->pBridge;
        m_pLink->pBridge = nullptr;
    }
    if (m_pWidget == nullptr)
        return;
    if (m_bOwnsWidget)
        delete m_pWidget;
    else
        delete pBridge;
    m_pWidget = nullptr;
}

CWnd* CWnd::GetParent() const
{
    return m_pWidget != nullptr ? FromWidgetOrAncestor(m_pWidget->parentWidget()) : nullptr;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (m_pWidget == nullptr)
        return FALSE;
    const BOOL bWasVisible = m_pWidget->isVisible();
    if (nCmdShow == SW_HIDE)
        m_pWidget->hide();
    else if (nCmdShow == SW_MINIMIZE)
        m_pWidget->showMinimized();
    else
        m_pWidget->show();
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_pWidget != nullptr && m_pWidget->isVisible();
}

BOOL CWnd::SetWindowPos(int x, int y, int cx, int cy, UINT nFlags)
{
    if (m_pWidget == nullptr)
        return FALSE;
    if ((nFlags & SWP_NOMOVE) == 0)
        m_pWidget->move(x, y);
    if ((nFlags & SWP_NOSIZE) == 0)
        m_pWidget->resize(cx, cy);
    m_pWidget->raise();
    if ((nFlags & SWP_SHOWWINDOW) != 0)
        m_pWidget->show();
    if ((nFlags & SWP_HIDEWINDOW) != 0)
        m_pWidget->hide();
    return TRUE;
}

CWnd* CWnd::SetFocus()
{
    if (m_pWidget == nullptr)
        return nullptr;
    CWnd* pPrevious = FromWidgetOrAncestor(QApplication::focusWidget());
    // A window that takes no focus itself hands it to its first control that does.
    QWidget* pTarget = m_pWidget;
    if (pTarget->focusPolicy() == Qt::NoFocus) {
        for (QWidget* pNext = pTarget->nextInFocusChain(); pNext != m_pWidget;
             pNext = pNext->nextInFocusChain()) {
            if (m_pWidget->isAncestorOf(pNext) && pNext->isVisibleTo(m_pWidget) &&
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
    const QRect rc = m_pWidget != nullptr ? m_pWidget->rect() : QRect();
    *pRect = RECT{0, 0, rc.width(), rc.height()};
}

void CWnd::ClientToScreen(POINT* pPoint) const
{
    if (m_pWidget == nullptr)
        return;
    const QPoint point = m_pWidget->mapToGlobal(QPoint(pPoint->x, pPoint->y));
    *pPoint = POINT{point.x(), point.y()};
}

void CWnd::SetWindowText(const std::string& strText)
{
    if (m_pWidget != nullptr)
        m_pWidget->setWindowTitle(QString::fromStdString(strText));
}

std::string CWnd::GetWindowText() const
{
    return m_pWidget != nullptr ? m_pWidget->windowTitle().toStdString() : std::string();
}

void CWnd::SetIcon(HICON hIcon, BOOL)
{
    if (m_pWidget != nullptr && hIcon != nullptr)
        m_pWidget->setWindowIcon(*hIcon);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(m_pLink->Mutex);
    if (m_pLink->pBridge == nullptr)
        return FALSE;
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(
        m_pLink->pBridge, new CPostedMessageEvent(MakeMessage(this, message, wParam, lParam)));
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    SendCall([&] { lResult = WindowProc(message, wParam, lParam); });
    return lResult;
}

bool CWnd::IsOnWindowThread()
{
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool CWnd::PostCallEvent(const std::function<void()>& call, std::shared_ptr<SCallState> pState)
{
    std::lock_guard lock(m_pLink->Mutex);
    if (m_pLink->pBridge == nullptr)
        return false;
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(m_pLink->pBridge, new CCallEvent(call, std::move(pState)));
    return true;
}

bool CWnd::PostCall(const std::function<void()>& call)
{
    return PostCallEvent(call, std::make_shared<SCallState>());
}

bool CWnd::SendCall(const std::function<void()>& call)
{
    if (IsOnWindowThread()) {
        if (!IsWindow())
            return false;
        call();
        return true;
    }
    auto pState = std::make_shared<SCallState>();
    if (!PostCallEvent(call, pState))
        return false;
    std::unique_lock lock(pState->Mutex);
    pState->Finished.wait(lock, [&] { return pState->bFinished; });
    return pState->bRan;
}

DWORD WaitForSingleObjectPumping(HANDLE hHandle, DWORD dwMilliseconds)
{
    constexpr DWORD kSliceMs = 10;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const DWORD dwResult = WaitForSingleObject(hHandle, kSliceMs);
        if (dwResult != WAIT_TIMEOUT)
            return dwResult;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (dwMilliseconds != INFINITE && elapsed.count() >= dwMilliseconds)
            return WAIT_TIMEOUT;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void RunWindowMessages(DWORD dwMilliseconds)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(dwMilliseconds));
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

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    default:
        return 0;
    }
}

void CWnd::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == SC_MINIMIZE)
        ShowWindow(SW_MINIMIZE);
    else if ((nID & 0xFFF0) == SC_CLOSE)
        SendMessage(WM_CLOSE);
}

void CWnd::OnClose()
{
    ShowWindow(SW_HIDE);
}
