// SPDX-License-Identifier: GPL-3.0-or-later
// What the windowing layer gives the system's own windows: templates become the system's
// controls at the pixels of their dialog units, the tab host's pages take their tabs' names,
// and the About item joins the system's own system menu.
#include "../ExchangeDialog.h"
#include "LayerDriver.h"

using WindowsLayerTest = CExchangeDialogTest;

TEST_F(WindowsLayerTest, templatesBecomeControlsWithTheirIdsClassesAndPixelGeometry)
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
    ::MapDialogRect(m_Dialog.GetSafeHwnd(), &rcExpected);
    RECT rcButton;
    ::GetWindowRect(Item(kButtonGo), &rcButton);
    ::MapWindowPoints(nullptr, m_Dialog.GetSafeHwnd(), reinterpret_cast<POINT*>(&rcButton), 2);
    EXPECT_EQ(rcButton, rcExpected);
    EXPECT_EQ(m_Dialog.GetWindowText(), "Exchange");
    EXPECT_EQ(m_Dialog.GetStyle() & WS_CHILD, 0u);
}

TEST_F(WindowsLayerTest, theAboutItemJoinsTheSystemsOwnSystemMenu)
{
    m_Dialog.AppendAboutItem(kAboutCommand, kAboutStringId);
    const HMENU hSystem = ::GetSystemMenu(m_Dialog.GetSafeHwnd(), FALSE);
    const int nLast = ::GetMenuItemCount(hSystem) - 1;
    char cText[64] = {};
    ::GetMenuStringA(hSystem, static_cast<UINT>(nLast), cText, sizeof cText, MF_BYPOSITION);
    EXPECT_STREQ(cText, "&About Exchange...");
    EXPECT_EQ(::GetMenuState(hSystem, static_cast<UINT>(nLast - 1), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(WindowsLayerTest, theTabHostsPagesAreNamedAfterTheirTabs)
{
    m_Dialog.m_Tabs.InsertTabsAndCreatePages();
    EXPECT_EQ(m_Dialog.m_Tabs.m_pPages[0]->GetWindowText(), "Connections");
    EXPECT_EQ(m_Dialog.m_Tabs.m_pPages[2]->GetWindowText(), "Log");
}
