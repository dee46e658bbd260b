// What the widget tests share: a main window with a tab control that records the keys that
// reach it, placeholder pages, and a resource set that holds them beside a program's own.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "PageTabCtrl.h"

#include <QApplication>
#include <QTableView>
#include <QTest>
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

// Clicks a row of a list, as the user selects it.
inline void ClickRow(const CListCtrl& list, int nRow)
{
    RECT rcRow{};
    list.GetItemRect(nRow, &rcRow, LVIR_BOUNDS);
    QTest::mouseClick(list.GetView()->viewport(), Qt::LeftButton, {},
                      QPoint((rcRow.left + rcRow.right) / 2, (rcRow.top + rcRow.bottom) / 2));
}

inline bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs = 5000)
{
    return QTest::qWaitFor(condition, nTimeoutMs);
}
