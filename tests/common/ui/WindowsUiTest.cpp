// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing layer over the system's own windows, under Wine: templates to controls, data
// exchange, the key hooks and dialog keys, the tab host, the list, pop-up commands, the system
// menu and modal boxes.
#include "Dialog.h"
#include "ListCtrl.h"
#include "MessageBox.h"
#include "PageTabCtrl.h"
#include "UiApplication.h"
#include "win/MessagePump_win.h"

#include <gtest/gtest.h>
#include <thread>

namespace
{

constexpr int kDialogId = 200;
constexpr int kPageId = 129; // the tab host's three pages share one template here
constexpr int kEditNumber = 3001;
constexpr int kButtonGo = 3003;
constexpr int kList = 3004;
constexpr int kTab = 3005;
constexpr int kMenuId = 132;
constexpr UINT kCommandShare = 32771;
constexpr UINT kAboutCommand = 0x0010;

CResources MakeResources()
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
                         {EControlKind::Button, kButtonGo, "Go", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(80, 7, 40, 14), "IDC_GO"},
                         {EControlKind::ListView, kList, "", WS_VISIBLE | WS_TABSTOP | LVS_REPORT,
                          DialogUnits(7, 27, 120, 60), "IDC_LIST"},
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
    for (const int nId : {130, 131}) {
        resources.Dialogs[nId] = resources.Dialogs[kPageId];
        resources.Dialogs[nId].nId = nId;
    }
    resources.Menus[kMenuId] =
        SMenuTemplate{kMenuId,
                      {{0,
                        "Context Menu",
                        MF_STRING,
                        {{kCommandShare, "Share this connection", MF_STRING, {}}}}}};
    resources.Strings[101] = "&About Exchange...";
    return resources;
}

class CExchangeDialog : public CDialog
{
public:
    CExchangeDialog() : CDialog(kDialogId)
    {
        MapCommand(kEditNumber, EN_CHANGE, &CExchangeDialog::OnChange);
        MapCommand(kButtonGo, BN_CLICKED, &CExchangeDialog::OnGo);
        MapCommand(kCommandShare, 0, &CExchangeDialog::OnShare);
    }

    int m_nNumber = 42;
    int m_nChanges = 0;
    int m_nGoes = 0;
    int m_nShares = 0;
    int m_nOks = 0;
    int m_nCancels = 0;
    UINT m_nSysCommand = 0;
    bool m_bSwallowKeys = false;
    CListCtrl m_List;
    CPageTabCtrl m_Tabs{new CDialog(129), new CDialog(130), new CDialog(131)};

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, kList, m_List);
        DDX_Control(pDX, kTab, m_Tabs);
        DDX_Text(pDX, kEditNumber, m_nNumber);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (m_bSwallowKeys && pMsg->message == WM_KEYDOWN)
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnOK() override { ++m_nOks; }
    void OnCancel() override { ++m_nCancels; }
    void OnSysCommand(UINT nID, LPARAM lParam) override
    {
        m_nSysCommand = nID;
        if (nID != kAboutCommand)
            CDialog::OnSysCommand(nID, lParam);
    }

private:
    void OnChange() { ++m_nChanges; }
    void OnGo() { ++m_nGoes; }
    void OnShare() { ++m_nShares; }
};

void RunPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        PumpMessage(msg);
}

void PressKey(HWND hTarget, WPARAM nKey)
{
    MSG msg{hTarget, WM_KEYDOWN, nKey, 0, 0, {}};
    PumpMessage(msg);
}

class WindowsUiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CResources::SetCurrent(&m_Resources);
        ASSERT_TRUE(m_Dlg.Create(kDialogId));
        m_Dlg.ShowWindow(SW_SHOW);
        ::SetForegroundWindow(m_Dlg.GetSafeHwnd());
        CWnd::SetMainWnd(&m_Dlg);
    }
    void TearDown() override { CResources::SetCurrent(nullptr); }

    HWND Item(int nId) const { return m_Dlg.GetDlgItem(nId); }

    int m_nArgc = 0;
    CUiApplication m_Application{m_nArgc, nullptr};
    CResources m_Resources = MakeResources();
    CExchangeDialog m_Dlg;
};

} // namespace

TEST_F(WindowsUiTest, templatesBecomeControlsWithTheirIdsClassesAndPixelGeometry)
{
    const std::pair<int, const char*> controls[] = {{kEditNumber, "Edit"},
                                                    {kButtonGo, "Button"},
                                                    {kList, "SysListView32"},
                                                    {kTab, "SysTabControl32"}};
    for (const auto& [nId, pszClass] : controls) {
        char cClass[64] = {};
        ASSERT_NE(Item(nId), nullptr) << nId;
        ::GetClassNameA(Item(nId), cClass, sizeof cClass);
        EXPECT_STREQ(cClass, pszClass);
    }
    RECT rcExpected{80, 7, 120, 21};
    ::MapDialogRect(m_Dlg.GetSafeHwnd(), &rcExpected);
    RECT rcButton;
    ::GetWindowRect(Item(kButtonGo), &rcButton);
    ::MapWindowPoints(nullptr, m_Dlg.GetSafeHwnd(), reinterpret_cast<POINT*>(&rcButton), 2);
    EXPECT_EQ(rcButton, rcExpected);
    EXPECT_EQ(m_Dlg.GetWindowText(), "Exchange");
    EXPECT_EQ(m_Dlg.GetStyle() & WS_CHILD, 0u);
}

TEST_F(WindowsUiTest, dataExchangeIsSilentAndRejectsWhatIsNoWholeNumber)
{
    EXPECT_EQ(m_Dlg.m_nChanges, 0);
    char cText[32] = {};
    ::GetWindowTextA(Item(kEditNumber), cText, sizeof cText);
    EXPECT_STREQ(cText, "42");
    ::SetWindowTextA(Item(kEditNumber), " 7 ");
    EXPECT_EQ(m_Dlg.m_nChanges, 1);
    EXPECT_TRUE(m_Dlg.UpdateData(TRUE));
    EXPECT_EQ(m_Dlg.m_nNumber, 7);
    ::SetWindowTextA(Item(kEditNumber), "7x");
    EXPECT_FALSE(m_Dlg.UpdateData(TRUE));
    EXPECT_EQ(m_Dlg.m_nNumber, 7);
    m_Dlg.m_nNumber = 9;
    EXPECT_TRUE(m_Dlg.UpdateData(FALSE));
    EXPECT_EQ(m_Dlg.m_nChanges, 2);
}

TEST_F(WindowsUiTest, keysReachTheHooksFirstThenTheDialogKeys)
{
    ::SetFocus(Item(kButtonGo));
    PressKey(Item(kButtonGo), VK_RETURN);
    EXPECT_EQ(m_Dlg.m_nGoes, 1);
    EXPECT_EQ(m_Dlg.m_nOks, 0);
    ::SetFocus(Item(kEditNumber));
    PressKey(Item(kEditNumber), VK_RETURN);
    PressKey(Item(kEditNumber), VK_ESCAPE);
    EXPECT_EQ(m_Dlg.m_nOks, 1);
    EXPECT_EQ(m_Dlg.m_nCancels, 1);
    m_Dlg.m_bSwallowKeys = true;
    PressKey(Item(kEditNumber), VK_RETURN);
    PressKey(Item(kEditNumber), VK_ESCAPE);
    EXPECT_EQ(m_Dlg.m_nOks, 1);
    EXPECT_EQ(m_Dlg.m_nCancels, 1);
    EXPECT_TRUE(m_Dlg.IsWindowVisible());
}

TEST_F(WindowsUiTest, theTabHostShowsThePageOfTheClickedTabAndMovesTheFocusIntoIt)
{
    m_Dlg.m_Tabs.InsertTabsAndCreatePages();
    EXPECT_EQ(m_Dlg.m_Tabs.GetItemCount(), 3);
    EXPECT_TRUE(m_Dlg.m_Tabs.m_pPages[0]->IsWindowVisible());
    EXPECT_EQ(m_Dlg.m_Tabs.m_pPages[2]->GetWindowText(), "Log");
    RECT rcTab;
    ASSERT_TRUE(m_Dlg.m_Tabs.GetItemRect(2, &rcTab));
    const LPARAM lPoint =
        MAKELPARAM((rcTab.left + rcTab.right) / 2, (rcTab.top + rcTab.bottom) / 2);
    ::PostMessageA(m_Dlg.m_Tabs.GetSafeHwnd(), WM_LBUTTONUP, 0, lPoint);
    ::SendMessageA(m_Dlg.m_Tabs.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    RunPending();
    EXPECT_EQ(m_Dlg.m_Tabs.GetCurSel(), 2);
    EXPECT_EQ(m_Dlg.m_Tabs.m_nCurrentPage, 2);
    EXPECT_FALSE(m_Dlg.m_Tabs.m_pPages[0]->IsWindowVisible());
    EXPECT_TRUE(m_Dlg.m_Tabs.m_pPages[2]->IsWindowVisible());
    EXPECT_TRUE(::IsChild(m_Dlg.m_Tabs.m_pPages[2]->GetSafeHwnd(), ::GetFocus()));
    // Selected in code: the page follows through ShowPage, no notification needed.
    m_Dlg.m_Tabs.ShowPage(1);
    EXPECT_TRUE(m_Dlg.m_Tabs.m_pPages[1]->IsWindowVisible());
    EXPECT_FALSE(m_Dlg.m_Tabs.m_pPages[2]->IsWindowVisible());
}

TEST_F(WindowsUiTest, listRowsKeepTheirOrderAndTheSelectionMarkFollowsAClick)
{
    m_Dlg.m_List.InsertColumn(0, "Name", LVCFMT_LEFT, 60);
    m_Dlg.m_List.InsertColumn(1, "Shared", LVCFMT_LEFT, 40);
    EXPECT_EQ(m_Dlg.m_List.GetColumnHeading(1), "Shared");
    const std::string strLong(1000, 'x');
    for (const char* pszName : {"first", "second"}) {
        const int nRow = m_Dlg.m_List.InsertItem(m_Dlg.m_List.GetItemCount(), pszName);
        m_Dlg.m_List.SetItemText(nRow, 1, strLong);
    }
    EXPECT_EQ(m_Dlg.m_List.GetItemText(1, 0), "second");
    EXPECT_EQ(m_Dlg.m_List.GetItemText(0, 1), strLong);
    EXPECT_EQ(m_Dlg.m_List.GetSelectionMark(), -1);
    RECT rcRow;
    ASSERT_TRUE(m_Dlg.m_List.GetItemRect(1, &rcRow, LVIR_LABEL));
    const LPARAM lPoint = MAKELPARAM(rcRow.left + 5, (rcRow.top + rcRow.bottom) / 2);
    ::PostMessageA(m_Dlg.m_List.GetSafeHwnd(), WM_LBUTTONUP, 0, lPoint);
    ::SendMessageA(m_Dlg.m_List.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    RunPending();
    EXPECT_EQ(m_Dlg.m_List.GetSelectionMark(), 1);
    EXPECT_TRUE(m_Dlg.m_List.DeleteAllItems());
    EXPECT_EQ(m_Dlg.m_List.GetItemCount(), 0);
}

TEST_F(WindowsUiTest, aPopupCommandAndTheSystemMenusAboutItemReachTheirOwner)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(kMenuId));
    CMenu::SetTrackHook([](const CMenu&, POINT) { return kCommandShare; });
    menu.GetSubMenu(0)->TrackPopupMenu(TPM_LEFTALIGN, 10, 10, &m_Dlg);
    CMenu::SetTrackHook(nullptr);
    RunPending();
    EXPECT_EQ(m_Dlg.m_nShares, 1);

    m_Dlg.AppendAboutItem(kAboutCommand, 101);
    const HMENU hSystem = ::GetSystemMenu(m_Dlg.GetSafeHwnd(), FALSE);
    const int nLast = ::GetMenuItemCount(hSystem) - 1;
    char cText[64] = {};
    ::GetMenuStringA(hSystem, static_cast<UINT>(nLast), cText, sizeof cText, MF_BYPOSITION);
    EXPECT_STREQ(cText, "&About Exchange...");
    EXPECT_EQ(::GetMenuState(hSystem, static_cast<UINT>(nLast - 1), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    ::SendMessageA(m_Dlg.GetSafeHwnd(), WM_SYSCOMMAND, kAboutCommand, 0);
    EXPECT_EQ(m_Dlg.m_nSysCommand, kAboutCommand);
}

TEST_F(WindowsUiTest, aModalBoxOrDialogDisablesItsOwnerUntilItCloses)
{
    bool bOwnerEnabledDuringBox = true;
    std::thread closer([&] {
        HWND hBox = nullptr;
        for (int i = 0; i < 100 && hBox == nullptr; ++i, ::Sleep(50))
            hBox = ::FindWindowA(nullptr, "WIP");
        bOwnerEnabledDuringBox = ::IsWindowEnabled(m_Dlg.GetSafeHwnd()) != FALSE;
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(MessageBox(&m_Dlg, "Print the log", "WIP", MB_ICONINFORMATION | MB_OK), IDOK);
    closer.join();
    EXPECT_FALSE(bOwnerEnabledDuringBox);
    EXPECT_TRUE(::IsWindowEnabled(m_Dlg.GetSafeHwnd()));

    CDialog about(kPageId + 1000);
    m_Resources.Dialogs[kPageId + 1000] =
        SDialogTemplate{kPageId + 1000,
                        "About",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SHELLFONT,
                        100,
                        40,
                        "MS Shell Dlg",
                        8,
                        {{EControlKind::Button, IDOK, "OK", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(7, 7, 40, 14), "IDOK"}}};
    bool bOwnerEnabledDuringDialog = true;
    std::thread presser([&] {
        HWND hAbout = nullptr;
        for (int i = 0; i < 100 && hAbout == nullptr; ++i, ::Sleep(50))
            hAbout = ::FindWindowA(nullptr, "About");
        bOwnerEnabledDuringDialog = ::IsWindowEnabled(m_Dlg.GetSafeHwnd()) != FALSE;
        ::PostMessageA(::GetDlgItem(hAbout, IDOK), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
    presser.join();
    EXPECT_FALSE(bOwnerEnabledDuringDialog);
    EXPECT_TRUE(::IsWindowEnabled(m_Dlg.GetSafeHwnd()));
}
