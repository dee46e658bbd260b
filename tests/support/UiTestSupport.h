// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tests share on every platform: a main window with a tab control that records
// the keys that reach it, placeholder pages, a resource set that holds them beside a program's
// own, and clicks on a list's row or a tab.
#pragma once

#include "Dialog.h"
#include "LayerDriver.h"
#include "ListCtrl.h"
#include "PageTabCtrl.h"

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

// A plain window that the test makes and destroys, for the layer's windows to live in.
class CPlainWindow : public CWnd
{
public:
    explicit CPlainWindow(CWnd* pParent = nullptr)
    {
        Attach(NewPlainWindow(pParent != nullptr ? pParent->GetSafeHwnd() : nullptr));
    }
    ~CPlainWindow() override
    {
        const HWND hWnd = GetSafeHwnd();
        Detach();
        if (hWnd != nullptr)
            DestroyPlainWindow(hWnd);
    }
};

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

    // Made, shown and active, as the user finds it.
    bool Open()
    {
        if (!Create(kTestMainWindowId))
            return false;
        ShowWindow(SW_SHOW);
        return ActivateWindow(GetSafeHwnd());
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

// Clicks a row of a list in its first column, as the user selects it.
inline void ClickRow(const CListCtrl& list, int nRow)
{
    RECT rcRow{};
    list.GetItemRect(nRow, &rcRow, LVIR_LABEL);
    ClickAt(list.GetSafeHwnd(),
            POINT{(rcRow.left + rcRow.right) / 2, (rcRow.top + rcRow.bottom) / 2});
}

// Clicks a tab of the tab row.
inline void ClickTab(const CTabCtrl& tabs, int nTab)
{
    RECT rcTab{};
    tabs.GetItemRect(nTab, &rcTab);
    ClickAt(tabs.GetSafeHwnd(),
            POINT{(rcTab.left + rcTab.right) / 2, (rcTab.top + rcTab.bottom) / 2});
}

// Presses a key in a window as the user would: at the control that has its focus.
inline void PressKeyIn(HWND hWindow, WPARAM nVirtualKey)
{
    PressKey(FocusIn(hWindow), nVirtualKey);
}
