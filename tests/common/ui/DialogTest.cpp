// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog of the windowing layer, the same on both platforms: data exchange, command routing by
// control id, the key hooks before the dialog keys, modal running over its owner, pop-up menus
// and the system menu's commands.
#include "ExchangeDialog.h"
#include "LayerDriver.h"
#include "MessageBox.h"

namespace
{

using DialogTest = CExchangeDialogTest;

// A modal dialog of its own, with one OK button.
constexpr int kAboutId = kPageId + 1000;

SDialogTemplate AboutTemplate()
{
    return SDialogTemplate{kAboutId,
                           "About",
                           WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SHELLFONT,
                           100,
                           40,
                           "MS Shell Dlg",
                           8,
                           {{EControlKind::Button, IDOK, "OK", WS_VISIBLE | WS_TABSTOP,
                             DialogUnits(7, 7, 40, 14), "IDOK"}}};
}

} // namespace

TEST_F(DialogTest, dataExchangeIsSilentAndRejectsWhatIsNoWholeNumber)
{
    EXPECT_EQ(ControlText(Item(kEditNumber)), "10000");
    EXPECT_EQ(ControlText(Item(kEditText)), "server.example");
    m_Dialog.m_nNumber = 42;
    EXPECT_TRUE(m_Dialog.UpdateData(FALSE));
    EXPECT_EQ(ControlText(Item(kEditNumber)), "42");
    EXPECT_EQ(m_Dialog.m_nChanges, 0);
    // A change reaches the handler, whose exchange reads every control.
    SetControlText(Item(kEditText), "localhost");
    SetControlText(Item(kEditNumber), "427");
    EXPECT_EQ(m_Dialog.m_nChanges, 1);
    EXPECT_EQ(m_Dialog.m_nNumber, 427);
    EXPECT_EQ(m_Dialog.m_strText, "localhost");
    // Text that is no whole number fails the exchange and keeps the member; blanks around one
    // do not.
    SetControlText(Item(kEditNumber), "12x");
    EXPECT_EQ(m_Dialog.m_nNumber, 427);
    EXPECT_FALSE(m_Dialog.UpdateData(TRUE));
    SetControlText(Item(kEditNumber), " 8080 ");
    EXPECT_TRUE(m_Dialog.UpdateData(TRUE));
    EXPECT_EQ(m_Dialog.m_nNumber, 8080);
}

TEST_F(DialogTest, commandsAreRoutedByControlId)
{
    ClickButton(Item(kButtonGo));
    EXPECT_EQ(m_Dialog.m_nGo, 1);
    m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(kButtonGo, BN_CLICKED), 0);
    EXPECT_EQ(m_Dialog.m_nGo, 2);
    m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0);
    EXPECT_EQ(m_Dialog.m_nGo, 2);
    // The sender learns whether a handler took the command.
    EXPECT_TRUE(m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(kButtonGo, BN_CLICKED), 0));
    EXPECT_FALSE(m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0));
}

TEST_F(DialogTest, keysReachTheHooksFirstThenTheDialogKeys)
{
    m_Dialog.m_bEnds = false;
    // Enter presses the focused push button, else gives the dialog its OK; Escape its Cancel.
    FocusControl(Item(kButtonGo));
    PressKey(Item(kButtonGo), VK_RETURN);
    EXPECT_EQ(m_Dialog.m_nGo, 1);
    EXPECT_EQ(m_Dialog.m_nOks, 0);
    FocusControl(Item(kEditText));
    PressKey(Item(kEditText), VK_RETURN);
    PressKey(Item(kEditText), VK_ESCAPE);
    EXPECT_EQ(m_Dialog.m_nOks, 1);
    EXPECT_EQ(m_Dialog.m_nCancels, 1);
    // A hook that takes the keys leaves the dialog none.
    m_Dialog.m_bSwallowKeys = true;
    PressKey(Item(kEditText), VK_RETURN);
    PressKey(Item(kEditText), VK_ESCAPE);
    EXPECT_EQ(m_Dialog.m_nOks, 1);
    EXPECT_EQ(m_Dialog.m_nCancels, 1);
    EXPECT_TRUE(m_Dialog.IsWindowVisible());
}

TEST_F(DialogTest, enterEndsAModalDialogWithOkAndItsOwnerTakesNoInputMeanwhile)
{
    m_Resources.Dialogs[kAboutId] = AboutTemplate();
    CDialog about(kAboutId);
    bool bOwnerTookInput = true;
    const auto pTimedOut = OnShown([] { return ShownWindow("About"); },
                                   [&](HWND hAbout) {
                                       bOwnerTookInput = TakesInput(Item(kButtonGo));
                                       PressKey(FocusIn(hAbout), VK_RETURN);
                                   });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_FALSE(*pTimedOut);
    EXPECT_FALSE(bOwnerTookInput);
    EXPECT_FALSE(about.IsWindowVisible());
    EXPECT_TRUE(TakesInput(Item(kButtonGo)));
}

TEST_F(DialogTest, aModalDialogsKeysAreItsOwnAndItEndsWithItsOwner)
{
    CExchangeDialog dialog;
    const auto pTimedOut = OnShown([&] { return dialog.GetSafeHwnd(); },
                                   [&](HWND) {
                                       // Escape in the dialog is the dialog's: the owner, whose
                                       // Escape would end it, sees none.
                                       PressKey(dialog.GetDlgItem(kEditText), VK_ESCAPE);
                                   });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pTimedOut);
    EXPECT_EQ(m_Dialog.m_nCancels, 0);
    EXPECT_TRUE(m_Dialog.IsWindowVisible());

    // A dialog that the owner's end ends with it.
    m_Resources.Dialogs[kAboutId] = AboutTemplate();
    CDialog about(kAboutId);
    const auto pAboutTimedOut =
        OnShown([] { return ShownWindow("About"); }, [&](HWND) { m_Dialog.EndDialog(IDCANCEL); });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pAboutTimedOut);
    EXPECT_FALSE(about.IsWindowVisible());
}

TEST_F(DialogTest, aMessageBoxTakesItsOwnersInputUntilEnterOrEscapeAnswersIt)
{
    for (const WPARAM nKey : {VK_RETURN, VK_ESCAPE}) {
        bool bOwnerTookInput = true;
        const auto pTimedOut = OnShown([] { return ShownWindow("Fatal error"); },
                                       [&](HWND hBox) {
                                           bOwnerTookInput = TakesInput(Item(kButtonGo));
                                           PressKey(FocusIn(hBox), nKey);
                                       });
        EXPECT_EQ(RunMessageBox(
                      {&m_Dialog, "Failed to initialise COM!", "Fatal error", MB_ICONSTOP | MB_OK}),
                  IDOK);
        EXPECT_FALSE(*pTimedOut) << nKey;
        EXPECT_FALSE(bOwnerTookInput) << nKey;
    }
    EXPECT_TRUE(TakesInput(Item(kButtonGo)));
    EXPECT_TRUE(m_Dialog.IsWindowVisible());
}

TEST_F(DialogTest, popUpMenuFromResourcesSendsTheChosenCommandToItsOwner)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(kMenuId));
    CMenu* pPopup = menu.GetSubMenu(0);
    ASSERT_NE(pPopup, nullptr);
    EXPECT_EQ(menu.GetSubMenu(1), nullptr);
    pPopup->EnableMenuItem(kCommandShare, MF_BYCOMMAND | MF_ENABLED);
    pPopup->EnableMenuItem(kCommandUnshare, MF_BYCOMMAND | MF_GRAYED);
    POINT shownAt{};
    CMenu::SetTrackHook([&](const CMenu& shown, POINT point) {
        shownAt = point;
        EXPECT_TRUE(shown.IsEnabled(kCommandShare));
        EXPECT_FALSE(shown.IsEnabled(kCommandUnshare));
        return kCommandShare;
    });
    pPopup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 15, 25, &m_Dialog);
    EXPECT_EQ(shownAt, (POINT{15, 25}));
    EXPECT_TRUE(WaitFor([&] { return m_Dialog.m_nShare == 1; }));
}

TEST_F(DialogTest, theSystemMenusAboutItemReachesItsOwner)
{
    m_Dialog.AppendAboutItem(kAboutCommand, kAboutStringId);
    const auto& items = m_Dialog.GetSystemMenu(FALSE)->Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.back().strText, "&About Exchange...");
    EXPECT_EQ(items[items.size() - 2].strText, "");
    m_Dialog.SendMessage(WM_SYSCOMMAND, kAboutCommand, 0);
    EXPECT_EQ(m_Dialog.m_SysCommands, std::vector<UINT>{kAboutCommand});
}
