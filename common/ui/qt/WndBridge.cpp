// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WndBridge.h"

#include "Wnd.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

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

CWndBridge::CWndBridge(QWidget* pWidget, std::shared_ptr<SWndLink> pLink)
    : QObject(pWidget), m_pLink(std::move(pLink))
{
    setObjectName(QStringLiteral("CWndBridge"));
    pWidget->installEventFilter(this);
}

CWndBridge::~CWndBridge()
{
    std::lock_guard lock(m_pLink->Mutex);
    if (m_pLink->pBridge == this)
        m_pLink->pBridge = nullptr;
}

CWnd* CWndBridge::Wnd() const
{
    std::lock_guard lock(m_pLink->Mutex);
    return m_pLink->pWnd;
}

CWndBridge* CWndBridge::Of(const QWidget* pWidget)
{
    return pWidget->findChild<CWndBridge*>(QStringLiteral("CWndBridge"),
                                           Qt::FindDirectChildrenOnly);
}

void CWndBridge::PostMessageEvent(CWndBridge* pBridge, const MSG& msg)
{
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(pBridge, new CPostedMessageEvent(msg));
}

void CWndBridge::PostCallEvent(CWndBridge* pBridge, const std::function<void()>& call,
                               std::shared_ptr<SCallState> pState)
{
    std::lock_guard handOff(HandOffMutex());
    QCoreApplication::postEvent(pBridge, new CCallEvent(call, std::move(pState)));
}

bool CWndBridge::event(QEvent* pEvent)
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

bool CWndBridge::eventFilter(QObject*, QEvent* pEvent)
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
        const POINT point = pMenuEvent->reason() == QContextMenuEvent::Keyboard
                                ? POINT{-1, -1}
                                : POINT{pMenuEvent->globalPos().x(), pMenuEvent->globalPos().y()};
        return pWnd->SendMessage(
                   WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pWnd->GetSafeHwnd()),
                   MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y))) != FALSE;
    }
    return false;
}
