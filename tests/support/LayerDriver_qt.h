// SPDX-License-Identifier: GPL-3.0-or-later
// The layer's tests driven through Qt's test events.
#pragma once

#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLineEdit>

inline void RunPending()
{
    QCoreApplication::processEvents();
}

inline std::string ControlText(HWND hControl)
{
    auto* pEdit = qobject_cast<QLineEdit*>(hControl);
    return pEdit != nullptr ? pEdit->text().toStdString() : hControl->windowTitle().toStdString();
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
