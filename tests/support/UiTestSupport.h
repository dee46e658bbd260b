// SPDX-License-Identifier: GPL-3.0-or-later
// What the widget tests share: a main window with a tab control that records the keys that
// reach it, placeholder pages, and a resource set that holds them beside a program's own.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "PageTabCtrl.h"

#include <QApplication>
#include <QPointer>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

inline constexpr int kTestMainWindowId = 102;
inline constexpr int kTestTabControlId = 1000;

// A program's resources with a main window holding a tab control, and plain pages 129 and 130
// with one edit each.
inline CResources WithTestWindows(const CResources& programResources)
{
    CResources resources = programResources;
    resources.Dialogs[kTestMainWindowId] = SDialogTemplate{
        kTestMainWindowId,
        "Test window",
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SHELLFONT,
        331,
        201,
        "MS Shell Dlg",
        8,
        {{EControlKind::TabControl, kTestTabControlId, "", WS_VISIBLE | WS_TABSTOP,
          DialogUnits(7, 7, 317, 187), "IDC_TAB"}}};
    for (const int nPage : {129, 130}) {
        resources.Dialogs[nPage] = SDialogTemplate{
            nPage,
            "",
            WS_CHILD | DS_SHELLFONT,
            312,
            161,
            "MS Shell Dlg",
            8,
            {{EControlKind::Edit, 2000 + nPage, "page", WS_VISIBLE | WS_TABSTOP | WS_BORDER,
              DialogUnits(7, 7, 100, 14), "IDC_EDIT_" + std::to_string(nPage)}}};
    }
    return resources;
}

class CPlaceholderPage : public CDialog
{
public:
    explicit CPlaceholderPage(UINT nIDTemplate, bool* pDestroyed = nullptr)
        : CDialog(nIDTemplate), m_pDestroyed(pDestroyed)
    {
    }
    ~CPlaceholderPage() override
    {
        if (m_pDestroyed != nullptr)
            *m_pDestroyed = true;
    }

private:
    bool* m_pDestroyed;
};

// A main window as the programs build theirs: tabs inserted, pages created, the Log page shown.
// It records every key-down that reaches it and swallows Enter and Escape.
class CTestMainWindow : public CDialog
{
public:
    explicit CTestMainWindow(CDialog* pLogPage, bool* pPageDestroyed = nullptr)
        : CDialog(kTestMainWindowId),
          m_tabCtrl(new CPlaceholderPage(129, pPageDestroyed), new CPlaceholderPage(130), pLogPage)
    {
    }

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_KEYDOWN && TargetOf(pMsg) == this)
            m_Keys.push_back(pMsg->wParam);
        if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }

    CPageTabCtrl m_tabCtrl;
    std::vector<WPARAM> m_Keys;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, kTestTabControlId, m_tabCtrl);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_tabCtrl.InsertTabsAndCreatePages();
        m_tabCtrl.ShowPage(2);
        return TRUE;
    }
};

// The Qt widgets behind the layer's controls, for clicks and keys as the user gives them.
inline QTableView* ListViewOf(const CListCtrl& list)
{
    return qobject_cast<QTableView*>(list.GetSafeHwnd());
}

inline QTabBar* TabBarOf(const CTabCtrl& tabs)
{
    return tabs.GetSafeHwnd()->findChild<QTabBar*>(QStringLiteral("tabs"),
                                                   Qt::FindDirectChildrenOnly);
}

// Clicks a row of a list in its first column, as the user selects it.
inline void ClickRow(const CListCtrl& list, int nRow)
{
    RECT rcRow{};
    list.GetItemRect(nRow, &rcRow, LVIR_LABEL);
    QTest::mouseClick(ListViewOf(list)->viewport(), Qt::LeftButton, {},
                      QPoint((rcRow.left + rcRow.right) / 2, (rcRow.top + rcRow.bottom) / 2));
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

// Presses a key in a window as the user would: at the control that has its focus.
inline void PressKeyIn(QWidget* pWindow, Qt::Key key)
{
    QWidget* pFocus = pWindow->focusWidget();
    QTest::keyClick(pFocus != nullptr ? pFocus : pWindow, key);
}

// Clicks a control through the window system, which drops input to windows that a modal one
// blocks.
inline void ClickThroughWindow(QWidget* pControl)
{
    QWidget* pWindow = pControl->window();
    QTest::mouseClick(pWindow->windowHandle(), Qt::LeftButton, {},
                      pControl->mapTo(pWindow, pControl->rect().center()));
}
