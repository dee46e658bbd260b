// SPDX-License-Identifier: GPL-3.0-or-later
// The tab host over the windowing layer's tab control, the same on both platforms: a click on a
// tab shows its page and moves the focus into it; a page chosen in code follows without one.
#include "ExchangeDialog.h"
#include "LayerDriver.h"

using TabCtrlTest = CExchangeDialogTest;

TEST_F(TabCtrlTest, aClickedTabShowsItsPageAndMovesTheFocusIntoIt)
{
    CPageTabCtrl& tabs = m_Dialog.m_Tabs;
    tabs.InsertTabsAndCreatePages();
    EXPECT_EQ(tabs.GetItemCount(), 3);
    EXPECT_TRUE(tabs.m_pPages[0]->IsWindowVisible());
    FocusControl(Item(kEditText));
    RECT rcTab{};
    ASSERT_TRUE(tabs.GetItemRect(2, &rcTab));
    ClickAt(tabs.GetSafeHwnd(),
            POINT{(rcTab.left + rcTab.right) / 2, (rcTab.top + rcTab.bottom) / 2});
    EXPECT_EQ(tabs.GetCurSel(), 2);
    EXPECT_EQ(tabs.m_nCurrentPage, 2);
    EXPECT_FALSE(tabs.m_pPages[0]->IsWindowVisible());
    EXPECT_TRUE(tabs.m_pPages[2]->IsWindowVisible());
    EXPECT_TRUE(HasFocusIn(tabs.m_pPages[2]->GetSafeHwnd()));
    // Selected in code: the page follows through ShowPage, no notification needed.
    tabs.ShowPage(1);
    EXPECT_TRUE(tabs.m_pPages[1]->IsWindowVisible());
    EXPECT_FALSE(tabs.m_pPages[2]->IsWindowVisible());
}
