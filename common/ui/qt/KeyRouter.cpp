// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/KeyRouter.h"

#include "Wnd.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace
{

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
CWnd* WindowInSameTopLevel(QWidget* pWidget)
{
    for (; pWidget != nullptr; pWidget = pWidget->parentWidget()) {
        if (CWnd* pWnd = CWnd::FromHandle(pWidget))
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
            CWnd* pTop = CWnd::FromHandle(pWidget->window());
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

} // namespace

void InstallKeyRouter()
{
    static CKeyRouter* pRouter = nullptr;
    if (pRouter != nullptr || QCoreApplication::instance() == nullptr)
        return;
    pRouter = new CKeyRouter;
    pRouter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(pRouter);
}
