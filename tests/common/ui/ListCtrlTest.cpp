// SPDX-License-Identifier: GPL-3.0-or-later
// A list of the windowing layer in report view, the same on both platforms: rows keep the order
// of their insertion, texts end at a NUL, columns may come later, and the selection mark follows
// the user's click and the rows' deletion.
#include "ExchangeDialog.h"
#include "LayerDriver.h"

using ListCtrlTest = CExchangeDialogTest;

TEST_F(ListCtrlTest, rowsKeepTheirOrderAndTheSelectionMarkFollowsAClick)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name", LVCFMT_LEFT, 60), 0);
    ASSERT_EQ(list.InsertColumn(1, "Shared", LVCFMT_LEFT, 40), 1);
    EXPECT_EQ(list.GetColumnHeading(1), "Shared");
    EXPECT_EQ(list.GetSelectionMark(), -1);
    const std::string strLong(1000, 'x');
    for (const char* pszName : {"A", "B", "C"}) {
        const int nRow = list.InsertItem(list.GetItemCount(), pszName);
        list.SetItemText(nRow, 1, std::string(pszName) + "!");
    }
    list.SetItemText(0, 1, strLong);
    EXPECT_EQ(list.GetItemText(2, 0), "C");
    EXPECT_EQ(list.GetItemText(1, 1), "B!");
    EXPECT_EQ(list.GetItemText(0, 1), strLong);
    EXPECT_EQ(list.GetItemText(7, 0), "");
    RECT rcRow{};
    ASSERT_TRUE(list.GetItemRect(1, &rcRow, LVIR_LABEL));
    ClickAt(list.GetSafeHwnd(), POINT{rcRow.left + 5, (rcRow.top + rcRow.bottom) / 2});
    EXPECT_EQ(list.GetSelectionMark(), 1);
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetSelectionMark(), 0);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetSelectionMark(), -1);
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ListCtrlTest, textsEndAtANulAndColumnsMayComeLater)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name"), 0);
    ASSERT_EQ(list.InsertItem(0, std::string("A\0hidden", 8)), 0);
    EXPECT_EQ(list.GetItemText(0, 0), "A");
    EXPECT_FALSE(list.SetItemText(0, 1, "no such column"));
    ASSERT_EQ(list.InsertColumn(1, "Status"), 1);
    EXPECT_EQ(list.GetItemText(0, 1), "");
    EXPECT_TRUE(list.SetItemText(0, 1, std::string("up\0down", 7)));
    EXPECT_EQ(list.GetItemText(0, 1), "up");
    EXPECT_EQ(list.GetItemText(-1, 0), "");
    EXPECT_FALSE(list.DeleteItem(1));
    RECT rcRow{};
    EXPECT_FALSE(list.GetItemRect(1, &rcRow, LVIR_BOUNDS));
}
