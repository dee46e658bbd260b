// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageTabCtrl.h"

#include "ServerResources.h"
#include "UiTestSupport.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
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
        ASSERT_TRUE(m_pWindow->Create(kTestMainWindowId));
        m_pWindow->ShowWindow(SW_SHOW);
        m_pWindow->GetSafeHwnd()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow->GetSafeHwnd()));
    }

    void TearDown() override
    {
        m_pWindow.reset();
        CResources::SetCurrent(nullptr);
    }

    CPageTabCtrl& Tabs() { return m_pWindow->m_tabCtrl; }
    QTabBar* TabBar() { return TabBarOf(Tabs()); }
    bool Shown(int nPage) { return Tabs().m_pPages[nPage]->IsWindowVisible(); }
    bool FocusIn(int nPage)
    {
        return Tabs().m_pPages[nPage]->GetSafeHwnd()->isAncestorOf(QApplication::focusWidget());
    }
    void ClickTab(int nTab)
    {
        QTest::mouseClick(TabBar(), Qt::LeftButton, {}, TabBar()->tabRect(nTab).center());
    }

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
    EXPECT_EQ(TabBar()->tabText(0), "Connections");
    EXPECT_EQ(TabBar()->tabText(1), "Communications");
    EXPECT_EQ(TabBar()->tabText(2), "Log");
}

TEST_F(PageTabCtrlTest, pagesFillTheTabControlBelowTheTabs)
{
    RECT rcClient;
    RECT rcTab;
    Tabs().GetClientRect(&rcClient);
    ASSERT_TRUE(Tabs().GetItemRect(0, &rcTab));
    EXPECT_EQ(rcTab.left, 2);
    EXPECT_EQ(rcTab.top, 2);
    const QRect expected(rcTab.left, rcTab.bottom + 1, rcClient.right - rcTab.left - 3,
                         rcClient.bottom - rcTab.bottom - 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Tabs().m_pPages[i]->GetSafeHwnd()->geometry(), expected) << i;
        EXPECT_EQ(Tabs().m_pPages[i]->GetSafeHwnd()->parentWidget(), Tabs().GetSafeHwnd()) << i;
    }
}

TEST_F(PageTabCtrlTest, clickingAnotherTabShowsItsPageAndMovesTheFocusIntoIt)
{
    ClickTab(0);
    EXPECT_EQ(Tabs().m_nCurrentPage, 0);
    EXPECT_TRUE(Shown(0));
    EXPECT_FALSE(Shown(2));
    EXPECT_TRUE(WaitFor([&] { return FocusIn(0); }));
    ClickTab(1);
    EXPECT_TRUE(Shown(1));
    EXPECT_FALSE(Shown(0));
    EXPECT_TRUE(WaitFor([&] { return FocusIn(1); }));
}

TEST_F(PageTabCtrlTest, clickingTheShownTabSwitchesNothingAndLeavesTheFocus)
{
    ClickTab(2);
    EXPECT_EQ(Tabs().m_nCurrentPage, 2);
    EXPECT_TRUE(Shown(2));
    EXPECT_FALSE(FocusIn(2));
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
}

TEST_F(PageTabCtrlTest, keyboardMovesTheTabAndThePageFollowsWithoutTheFocus)
{
    ClickTab(2);
    ASSERT_EQ(QApplication::focusWidget(), TabBar());
    QTest::keyClick(TabBar(), Qt::Key_Left);
    EXPECT_EQ(Tabs().GetCurSel(), 1);
    EXPECT_EQ(Tabs().m_nCurrentPage, 1);
    EXPECT_TRUE(Shown(1));
    EXPECT_FALSE(Shown(2));
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
}

TEST_F(PageTabCtrlTest, showPageSelectsTheTabWithoutMovingTheFocus)
{
    ClickTab(2);
    Tabs().ShowPage(0);
    EXPECT_EQ(Tabs().GetCurSel(), 0);
    EXPECT_TRUE(Shown(0));
    EXPECT_FALSE(Shown(2));
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
}

TEST_F(PageTabCtrlTest, enterAndEscapeOnTheTabsGoOnToTheMainWindow)
{
    ClickTab(2);
    QTest::keyClick(TabBar(), Qt::Key_Return);
    QTest::keyClick(TabBar(), Qt::Key_Escape);
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

TEST_F(PageTabCtrlTest, pagesAndTheirListsAreNamedByTheirTabs)
{
    EXPECT_EQ(Tabs().m_pPages[0]->GetSafeHwnd()->accessibleName(), "Connections");
    EXPECT_EQ(Tabs().m_pPages[2]->GetSafeHwnd()->accessibleName(), "Log");
    auto* pLogList = Tabs().m_pPages[2]->GetSafeHwnd()->findChild<QTableView*>();
    ASSERT_NE(pLogList, nullptr);
    EXPECT_EQ(pLogList->accessibleName(), "Log");
    // A control named by its own label keeps that name; this edit has none.
    auto* pEdit = Tabs().m_pPages[0]->GetSafeHwnd()->findChild<QLineEdit*>();
    EXPECT_TRUE(pEdit->accessibleName().isEmpty());
    EXPECT_EQ(TabBar()->accessibleName(), "Pages");
}
