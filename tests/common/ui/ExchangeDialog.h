// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog that the layer's tests work with: two edits exchanged with members, a button, a
// list and the tab host with three pages, a pop-up menu and an About string, all from its own
// resources; it counts what reaches its handlers.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "PageTabCtrl.h"

#include <gtest/gtest.h>
#include <vector>

inline constexpr int kDialogId = 200;
inline constexpr int kPageId = 129; // the tab host's three pages share one template here
inline constexpr int kEditNumber = 3001;
inline constexpr int kEditText = 3002;
inline constexpr int kButtonGo = 3003;
inline constexpr int kList = 3004;
inline constexpr int kTab = 3005;
inline constexpr int kMenuId = 132;
inline constexpr int kAboutStringId = 101;
inline constexpr UINT kCommandShare = 32771;
inline constexpr UINT kCommandUnshare = 32772;
inline constexpr UINT kAboutCommand = 0x0010;

inline CResources MakeExchangeResources()
{
    CResources resources;
    resources.Dialogs[kDialogId] =
        SDialogTemplate{kDialogId,
                        "Exchange",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SHELLFONT,
                        320,
                        200,
                        "MS Shell Dlg",
                        8,
                        {{EControlKind::Edit, kEditNumber, "", WS_VISIBLE | WS_TABSTOP | WS_BORDER,
                          DialogUnits(7, 7, 60, 14), "IDC_NUMBER"},
                         {EControlKind::Edit, kEditText, "", WS_VISIBLE | WS_TABSTOP | WS_BORDER,
                          DialogUnits(7, 27, 60, 14), "IDC_TEXT"},
                         {EControlKind::Button, kButtonGo, "Go", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(80, 7, 40, 14), "IDC_GO"},
                         {EControlKind::ListView, kList, "", WS_VISIBLE | WS_TABSTOP | LVS_REPORT,
                          DialogUnits(7, 47, 120, 100), "IDC_LIST"},
                         {EControlKind::TabControl, kTab, "", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(140, 7, 170, 180), "IDC_TAB"}}};
    resources.Dialogs[kPageId] =
        SDialogTemplate{kPageId,
                        "",
                        DS_SHELLFONT | WS_CHILD,
                        160,
                        150,
                        "MS Shell Dlg",
                        8,
                        {{EControlKind::Button, kButtonGo, "Page", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(7, 7, 40, 14), "IDC_GO"}}};
    for (const int nId : {kPageId + 1, kPageId + 2}) {
        resources.Dialogs[nId] = resources.Dialogs[kPageId];
        resources.Dialogs[nId].nId = nId;
    }
    resources.Menus[kMenuId] =
        SMenuTemplate{kMenuId,
                      {{0,
                        "Context Menu",
                        MF_STRING,
                        {{kCommandShare, "Share this connection", MF_STRING, {}},
                         {kCommandUnshare, "Disable this share", MF_STRING, {}}}}}};
    resources.Strings[kAboutStringId] = "&About Exchange...";
    return resources;
}

class CExchangeDialog : public CDialog
{
public:
    CExchangeDialog() : CDialog(kDialogId)
    {
        MapCommand(kEditNumber, EN_CHANGE, &CExchangeDialog::OnNumberChanged);
        MapCommand(kButtonGo, BN_CLICKED, &CExchangeDialog::OnGo);
        MapCommand(kCommandShare, 0, &CExchangeDialog::OnShare);
    }

    int m_nNumber = 10000;
    std::string m_strText = "server.example";
    int m_nChanges = 0;
    int m_nGo = 0;
    int m_nShare = 0;
    int m_nOks = 0;
    int m_nCancels = 0;
    // Whether OK and Cancel end the dialog, as they do unless a program says otherwise.
    bool m_bEnds = true;
    // A hook that takes every key-down before the dialog's own keys.
    bool m_bSwallowKeys = false;
    std::vector<UINT> m_SysCommands;
    CListCtrl m_List;
    CPageTabCtrl m_Tabs{new CDialog(kPageId), new CDialog(kPageId + 1), new CDialog(kPageId + 2)};

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Text(pDX, kEditNumber, m_nNumber);
        DDX_Text(pDX, kEditText, m_strText);
        DDX_Control(pDX, kList, m_List);
        DDX_Control(pDX, kTab, m_Tabs);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (m_bSwallowKeys && pMsg->message == WM_KEYDOWN)
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnOK() override
    {
        ++m_nOks;
        if (m_bEnds)
            CDialog::OnOK();
    }
    void OnCancel() override
    {
        ++m_nCancels;
        if (m_bEnds)
            CDialog::OnCancel();
    }
    void OnSysCommand(UINT nID, LPARAM lParam) override
    {
        m_SysCommands.push_back(nID);
        if (nID != kAboutCommand)
            CDialog::OnSysCommand(nID, lParam);
    }

private:
    void OnNumberChanged()
    {
        ++m_nChanges;
        UpdateData(TRUE);
    }
    void OnGo() { ++m_nGo; }
    void OnShare() { ++m_nShare; }
};

// The dialog made and shown from its resources, as the main window.
class CExchangeDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CResources::SetCurrent(&m_Resources);
        ASSERT_TRUE(m_Dialog.Create(kDialogId));
        m_Dialog.ShowWindow(SW_SHOW);
        CWnd::SetMainWnd(&m_Dialog);
    }
    void TearDown() override
    {
        CWnd::SetMainWnd(nullptr);
        CMenu::SetTrackHook(nullptr);
        CResources::SetCurrent(nullptr);
    }

    HWND Item(int nID) const { return m_Dialog.GetDlgItem(nID); }

    CResources m_Resources = MakeExchangeResources();
    CExchangeDialog m_Dialog;
};
