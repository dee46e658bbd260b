// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageTabCtrl.h"

#include "ServerResources.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{

class PageTabCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Resources = WithTestWindows(ServerResources());
        CResources::SetCurrent(&m_Resources);
        m_pWindow =
            std::make_unique<CTestMainWindow>(new CLog(kServerLogVariant), &m_bPageDestroyed);
        ASSERT_TRUE(m_pWindow->Open());
    }

    void TearDown() override
    {
        m_pWindow.reset();
        CResources::SetCurrent(nullptr);
    }

    CPageTabCtrl& Tabs() { return m_pWindow->m_tabCtrl; }
    bool Shown(int nPage) { return Tabs().m_pPages[nPage]->IsWindowVisible(); }
    bool FocusInPage(int nPage) { return HasFocusIn(Tabs().m_pPages[nPage]->GetSafeHwnd()); }
    bool FocusOnTheTabs() { return FocusIn(m_pWindow->GetSafeHwnd()) == TabRowOf(Tabs()); }
    void ClickTab(int nTab) { ::ClickTab(Tabs(), nTab); }

    CResources m_Resources;
    bool m_bPageDestroyed = false;
    std::unique_ptr<CTestMainWindow> m_pWindow;
};

} // namespace

TEST_F(PageTabCtrlTest, opensWithOnlyTheLogPageShown)
{
    EXPECT_EQ(Tabs().GetCurSel(), 2);
    EXPECT_EQ(Tabs().m_nCurrentPage, 2);
    EXPECT_EQ(Tabs().m_nPageCount, 3);
    EXPECT_FALSE(Shown(0));
    EXPECT_FALSE(Shown(1));
    EXPECT_TRUE(Shown(2));
    EXPECT_EQ(Tabs().GetItemText(0), "Connections");
    EXPECT_EQ(Tabs().GetItemText(1), "Communications");
    EXPECT_EQ(Tabs().GetItemText(2), "Log");
}

TEST_F(PageTabCtrlTest, pagesFillTheTabControlBelowTheTabs)
{
    RECT rcClient;
    RECT rcTab;
    Tabs().GetClientRect(&rcClient);
    ASSERT_TRUE(Tabs().GetItemRect(0, &rcTab));
    EXPECT_EQ(rcTab.left, 2);
    EXPECT_EQ(rcTab.top, 2);
    for (int i = 0; i < 3; ++i) {
        const HWND hPage = Tabs().m_pPages[i]->GetSafeHwnd();
        const RECT rcPage = ChildRect(hPage);
        EXPECT_EQ(rcPage.left, rcTab.left) << i;
        EXPECT_EQ(rcPage.top, rcTab.bottom + 1) << i;
        EXPECT_EQ(rcPage.right, rcClient.right - 3) << i;
        EXPECT_EQ(rcPage.bottom, rcClient.bottom - 3) << i;
        EXPECT_EQ(ParentOf(hPage), Tabs().GetSafeHwnd()) << i;
    }
}

TEST_F(PageTabCtrlTest, clickingAnotherTabShowsItsPageAndMovesTheFocusIntoIt)
{
    ClickTab(0);
    EXPECT_EQ(Tabs().m_nCurrentPage, 0);
    EXPECT_TRUE(Shown(0));
    EXPECT_FALSE(Shown(2));
    EXPECT_TRUE(WaitFor([&] { return FocusInPage(0); }));
    ClickTab(1);
    EXPECT_TRUE(Shown(1));
    EXPECT_FALSE(Shown(0));
    EXPECT_TRUE(WaitFor([&] { return FocusInPage(1); }));
}

TEST_F(PageTabCtrlTest, clickingTheShownTabSwitchesNothingAndLeavesTheFocus)
{
    ClickTab(2);
    EXPECT_EQ(Tabs().m_nCurrentPage, 2);
    EXPECT_TRUE(Shown(2));
    EXPECT_FALSE(FocusInPage(2));
    EXPECT_TRUE(FocusOnTheTabs());
}

TEST_F(PageTabCtrlTest, keyboardMovesTheTabAndThePageFollowsWithoutTheFocus)
{
    ClickTab(2);
    ASSERT_TRUE(FocusOnTheTabs());
    PressKey(TabRowOf(Tabs()), VK_LEFT);
    EXPECT_EQ(Tabs().GetCurSel(), 1);
    EXPECT_EQ(Tabs().m_nCurrentPage, 1);
    EXPECT_TRUE(Shown(1));
    EXPECT_FALSE(Shown(2));
    EXPECT_TRUE(FocusOnTheTabs());
}

TEST_F(PageTabCtrlTest, showPageSelectsTheTabWithoutMovingTheFocus)
{
    ClickTab(2);
    Tabs().ShowPage(0);
    EXPECT_EQ(Tabs().GetCurSel(), 0);
    EXPECT_TRUE(Shown(0));
    EXPECT_FALSE(Shown(2));
    EXPECT_TRUE(FocusOnTheTabs());
}

TEST_F(PageTabCtrlTest, enterAndEscapeOnTheTabsGoOnToTheMainWindow)
{
    ClickTab(2);
    PressKey(TabRowOf(Tabs()), VK_RETURN);
    PressKey(TabRowOf(Tabs()), VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return m_pWindow->m_Keys.size() == 2; }));
    EXPECT_EQ(m_pWindow->m_Keys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
    EXPECT_TRUE(m_pWindow->IsWindowVisible());
}

TEST_F(PageTabCtrlTest, destroyingTheTabControlDeletesItsPages)
{
    EXPECT_FALSE(m_bPageDestroyed);
    m_pWindow.reset();
    EXPECT_TRUE(m_bPageDestroyed);
}
