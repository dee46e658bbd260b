// SPDX-License-Identifier: GPL-3.0-or-later
// What the windowing layer gives the system's own windows: templates become the system's
// controls at the pixels of their dialog units, the tab host's pages take their tabs' names,
// the About item joins the system's own system menu, and the pages follow a new resolution.
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

namespace
{

RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

LONG FontHeight(HWND hWnd)
{
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    return font.lfHeight;
}

} // namespace

// The system rescales the dialog and its own controls on a monitor of another resolution; the
// pages inside the tab control, and their controls, follow with places, sizes and fonts.
TEST_F(WindowsLayerTest, thePagesFollowANewResolution)
{
    m_Dialog.m_Tabs.InsertTabsAndCreatePages();
    const HDC hScreen = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(hScreen, LOGPIXELSY);
    ::ReleaseDC(nullptr, hScreen);
    const HWND hPage = m_Dialog.m_Tabs.m_pPages[1]->GetSafeHwnd();
    const HWND hButton = ::GetDlgItem(hPage, kButtonGo);
    const RECT rcPage = RectInParent(hPage);
    const RECT rcButton = RectInParent(hButton);
    const LONG nFontHeight = FontHeight(hButton);
    ASSERT_NE(nFontHeight, 0);
    RECT rcSuggested;
    ::GetWindowRect(m_Dialog.GetSafeHwnd(), &rcSuggested);
    rcSuggested.right += rcSuggested.right - rcSuggested.left;
    rcSuggested.bottom += rcSuggested.bottom - rcSuggested.top;
    m_Dialog.SendMessage(WM_DPICHANGED, MAKEWPARAM(2 * nDpi, 2 * nDpi),
                         reinterpret_cast<LPARAM>(&rcSuggested));
    const RECT rcDoubled{2 * rcButton.left, 2 * rcButton.top, 2 * rcButton.right,
                         2 * rcButton.bottom};
    EXPECT_EQ(RectInParent(hButton), rcDoubled);
    EXPECT_EQ(RectInParent(hPage).right - RectInParent(hPage).left,
              2 * (rcPage.right - rcPage.left));
    EXPECT_EQ(FontHeight(hButton), 2 * nFontHeight);
    // And back, with the fonts of the doubled resolution let go.
    m_Dialog.SendMessage(WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi),
                         reinterpret_cast<LPARAM>(&rcSuggested));
    EXPECT_EQ(RectInParent(hButton), rcButton);
    EXPECT_EQ(FontHeight(hButton), nFontHeight);
}
