// SPDX-License-Identifier: GPL-3.0-or-later
#include "Wnd.h"

#include "Kernel.h"
#include "posix/KeyRouter_posix.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QIcon>
#include <QPointer>
#include <QThread>
#include <QWidget>
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

} // namespace

struct CWnd::SState {
    QPointer<QWidget> pWidget;
    std::shared_ptr<SWndLink> pLink = std::make_shared<SWndLink>();
    DWORD dwStyle = 0;
    bool bOwnsWidget = false;
    // The message being handled, for Default.
    struct SCurrent {
        const std::function<LRESULT()>* pDefault;
        bool bDefault;
        LRESULT lDefault;
    };
    SCurrent* pCurrent = nullptr;
    bool PostCallEvent(const std::function<void()>& call, std::shared_ptr<SCallState> pState);
};

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
                Wnd()->SendMessage(msg.message, msg.wParam, msg.lParam);
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
            return pWnd->SendMessage(
                       WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pWnd->GetSafeHwnd()),
                       MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y))) != FALSE;
        }
        return false;
    }

private:
    std::shared_ptr<SWndLink> m_pLink;
};

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
    const auto* pBridge =
        pWidget->findChild<CWndBridge*>(QStringLiteral("CWndBridge"), Qt::FindDirectChildrenOnly);
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

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(m_pState->pLink->Mutex);
    if (m_pState->pLink->pBridge == nullptr)
        return FALSE;
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(m_pState->pLink->pBridge, new CPostedMessageEvent(MakeMessage(
                                                              this, message, wParam, lParam)));
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

bool CWnd::SState::PostCallEvent(const std::function<void()>& call,
                                 std::shared_ptr<SCallState> pState)
{
    std::lock_guard lock(pLink->Mutex);
    if (pLink->pBridge == nullptr)
        return false;
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(pLink->pBridge, new CCallEvent(call, std::move(pState)));
    return true;
}

bool CWnd::PostCall(const std::function<void()>& call)
{
    return m_pState->PostCallEvent(call, std::make_shared<SCallState>());
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
    if (!m_pState->PostCallEvent(call, pState))
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

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                    const std::function<LRESULT()>& defaultHandling)
{
    SState::SCurrent current{&defaultHandling, false, 0};
    SState::SCurrent* pOuter = m_pState->pCurrent;
    m_pState->pCurrent = &current;
    lResult = WindowProc(message, wParam, lParam);
    m_pState->pCurrent = pOuter;
    if (current.bDefault)
        lResult = current.lDefault;
    return !current.bDefault;
}

void CWnd::Default()
{
    SState::SCurrent* pCurrent = m_pState->pCurrent;
    if (pCurrent == nullptr || pCurrent->bDefault)
        return;
    pCurrent->bDefault = true;
    if (*pCurrent->pDefault)
        pCurrent->lDefault = (*pCurrent->pDefault)();
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
    case WM_CONTEXTMENU: {
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)), point);
    }
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
