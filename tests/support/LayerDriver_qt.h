// SPDX-License-Identifier: GPL-3.0-or-later
// The layer's tests driven through Qt's test events.
#pragma once

#include "ListCtrl.h"
#include "TabCtrl.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

// The Qt widgets behind the layer's controls.
inline QTableView* ListViewOf(const CListCtrl& list)
{
    return qobject_cast<QTableView*>(list.GetSafeHwnd());
}

inline QTabBar* TabBarOf(const CTabCtrl& tabs)
{
    return tabs.GetSafeHwnd()->findChild<QTabBar*>(QStringLiteral("tabs"),
                                                   Qt::FindDirectChildrenOnly);
}

// The time allowed is only a bound for a condition that never comes: a slow or busy machine
// (a sanitizer build, tests running side by side) must not fail a test by it.
inline bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs = 30000)
{
    return QTest::qWaitFor(condition, nTimeoutMs);
}

// Gives the time that "nothing happened" checks wait for what should not come.
inline void Settle(int nMs = 50)
{
    QTest::qWait(nMs);
}

// The message box on screen, if there is one.
inline QWidget* ShownMessageBox()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible() && pWidget->inherits("QMessageBox"))
            return pWidget;
    }
    return nullptr;
}

// Runs the action on a window that a modal loop shows, from inside that loop, once the finder
// finds it on screen. A window still open after the time-out is closed, so that a failing test
// ends; the flag says whether that was needed.
inline std::shared_ptr<bool> OnShownWindow(std::function<QWidget*()> find,
                                           std::function<void(QWidget*)> action,
                                           int nTimeoutMs = 5000)
{
    auto pTimedOut = std::make_shared<bool>(false);
    auto* pPoll = new QTimer;
    QObject::connect(pPoll, &QTimer::timeout, pPoll, [=] {
        QWidget* pShown = find();
        if (pShown == nullptr || !pShown->isVisible())
            return;
        pPoll->stop();
        pPoll->deleteLater();
        QTimer::singleShot(nTimeoutMs, [pWindow = QPointer<QWidget>(pShown), pTimedOut] {
            if (pWindow != nullptr && pWindow->isVisible()) {
                *pTimedOut = true;
                pWindow->close();
            }
        });
        action(pShown);
    });
    pPoll->start(10);
    return pTimedOut;
}

inline std::shared_ptr<bool> OnMessageBox(std::function<void(QWidget*)> action)
{
    return OnShownWindow(ShownMessageBox, std::move(action));
}

// Clicks a control through the window system, which drops input to windows that a modal one
// blocks.
inline void ClickThroughWindow(QWidget* pControl)
{
    QWidget* pWindow = pControl->window();
    QTest::mouseClick(pWindow->windowHandle(), Qt::LeftButton, {},
                      pControl->mapTo(pWindow, pControl->rect().center()));
}

inline void RunPending()
{
    QCoreApplication::processEvents();
}

inline std::string ControlText(HWND hControl)
{
    if (auto* pEdit = qobject_cast<QLineEdit*>(hControl))
        return pEdit->text().toStdString();
    if (auto* pButton = qobject_cast<QAbstractButton*>(hControl))
        return pButton->text().toStdString();
    if (auto* pLabel = qobject_cast<QLabel*>(hControl))
        return pLabel->text().toStdString();
    return hControl->windowTitle().toStdString();
}

// Replaces the control's text; the control tells its dialog as typing would.
inline void SetControlText(HWND hControl, const std::string& strText)
{
    qobject_cast<QLineEdit*>(hControl)->setText(QString::fromStdString(strText));
}

inline void ClickButton(HWND hButton)
{
    QTest::mouseClick(qobject_cast<QAbstractButton*>(hButton), Qt::LeftButton);
}

// A left click at a point of the control's client area (a list's rows, a tab of the tab row).
inline void ClickAt(HWND hControl, POINT point)
{
    QPoint at(point.x, point.y);
    QWidget* pTarget = hControl;
    if (auto* pArea = qobject_cast<QAbstractScrollArea*>(hControl)) {
        pTarget = pArea->viewport();
    } else if (QWidget* pChild = hControl->childAt(at)) {
        at = pChild->mapFrom(hControl, at);
        pTarget = pChild;
    }
    QTest::mouseClick(pTarget, Qt::LeftButton, {}, at);
}

// Gives the control the keyboard's focus, its window made active first.
inline void FocusControl(HWND hControl)
{
    hControl->window()->activateWindow();
    (void)QTest::qWaitForWindowActive(hControl->window());
    hControl->setFocus();
}

inline bool HasFocusIn(HWND hWindow)
{
    QWidget* pFocus = QApplication::focusWidget();
    return pFocus != nullptr && (pFocus == hWindow || hWindow->isAncestorOf(pFocus));
}

inline Qt::Key QtKey(WPARAM nVirtualKey)
{
    switch (nVirtualKey) {
    case VK_RETURN:
        return Qt::Key_Return;
    case VK_ESCAPE:
        return Qt::Key_Escape;
    case VK_TAB:
        return Qt::Key_Tab;
    case VK_SPACE:
        return Qt::Key_Space;
    case VK_LEFT:
        return Qt::Key_Left;
    case VK_RIGHT:
        return Qt::Key_Right;
    case VK_UP:
        return Qt::Key_Up;
    case VK_DOWN:
        return Qt::Key_Down;
    default:
        return static_cast<Qt::Key>(nVirtualKey);
    }
}

// A key pressed while the control has the focus.
inline void PressKey(HWND hControl, WPARAM nVirtualKey)
{
    QTest::keyClick(hControl, QtKey(nVirtualKey));
}

// False while a modal window other than this window's own holds the input.
inline bool TakesInput(HWND hWindow)
{
    const QWidget* pModal = QApplication::activeModalWidget();
    return pModal == nullptr || pModal == hWindow->window();
}

// The shown top-level window with that caption, or null.
inline HWND ShownWindow(const std::string& strCaption)
{
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible() && pWidget->windowTitle().toStdString() == strCaption)
            return pWidget;
    }
    return nullptr;
}

// The focused control of a window, or the window: where the user's keys go.
inline HWND FocusIn(HWND hWindow)
{
    QWidget* pFocus = hWindow->focusWidget();
    return pFocus != nullptr ? pFocus : hWindow;
}

// Runs the action from inside the modal loop that shows the window the finder finds; the flag
// says whether the window had to be closed because it was still open long after.
inline std::shared_ptr<bool> OnShown(std::function<HWND()> find, std::function<void(HWND)> action)
{
    return OnShownWindow(std::move(find), std::move(action), 30000);
}

// A plain window of the layer's own making, child of the given one if any.
inline HWND NewPlainWindow(HWND hParent = nullptr)
{
    return new QWidget(hParent);
}

// Destroys the window as the system would, under the object that owns it.
inline void DestroyPlainWindow(HWND hWnd)
{
    delete hWnd;
}

// Makes the window the active one and waits until it is.
inline bool ActivateWindow(HWND hWindow)
{
    hWindow->activateWindow();
    return QTest::qWaitForWindowActive(hWindow);
}

// Where the keys go when the tab row has the focus.
inline HWND TabRowOf(const CTabCtrl& tabs)
{
    return TabBarOf(tabs);
}

// The window's place in its parent's client area.
inline RECT ChildRect(HWND hWnd)
{
    const QRect rect = hWnd->geometry();
    return RECT{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
}

// Asks the window for its context menu, as a right-click at a point of its client area, or the
// keyboard's menu key (Shift+F10), would.
inline void ContextMenuAt(HWND hWnd, POINT point)
{
    const QPoint local(point.x, point.y);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, hWnd->mapToGlobal(local));
    QApplication::sendEvent(hWnd, &event);
}

inline void ContextMenuKey(HWND hWnd)
{
    const QPoint local(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, local, hWnd->mapToGlobal(local));
    QApplication::sendEvent(hWnd, &event);
}

inline bool ListTakesManyRows(const CListCtrl& list)
{
    return ListViewOf(list)->selectionMode() == QAbstractItemView::ExtendedSelection;
}

inline bool HasMinimiseOrMaximiseBox(HWND hWnd)
{
    const Qt::WindowFlags flags = hWnd->windowFlags();
    return flags.testFlag(Qt::WindowMinimizeButtonHint) ||
           flags.testFlag(Qt::WindowMaximizeButtonHint);
}

// The name that screen readers are given for the control.
inline std::string AccessibleName(HWND hControl)
{
    return hControl->accessibleName().toStdString();
}

inline bool IsMinimised(HWND hWnd)
{
    return hWnd->isMinimized();
}

inline HWND ParentOf(HWND hWnd)
{
    return hWnd->parentWidget();
}

inline bool ListHasSelection(const CListCtrl& list)
{
    return ListViewOf(list)->selectionModel()->hasSelection();
}

// The row at the top of the list's visible rows.
inline int ListTopRow(const CListCtrl& list)
{
    return ListViewOf(list)->rowAt(0);
}
