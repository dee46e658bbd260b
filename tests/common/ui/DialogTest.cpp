// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialog.h"

#include "ListCtrl.h"
#include "MessageBox.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "posix/DialogUnits.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

namespace
{

constexpr int kDialogId = 200;
constexpr int kEditNumber = 3001;
constexpr int kEditText = 3002;
constexpr int kButtonGo = 3003;
constexpr int kList = 3004;
constexpr int kMenuId = 132;
constexpr UINT kCommandShare = 32771;
constexpr UINT kCommandUnshare = 32772;
constexpr UINT kAboutCommand = 0x0010;

CResources MakeResources()
{
    CResources resources;
    resources.Dialogs[kDialogId] =
        SDialogTemplate{kDialogId,
                        "Exchange",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SHELLFONT,
                        200,
                        120,
                        "MS Shell Dlg",
                        8,
                        {{EControlKind::Edit, kEditNumber, "", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(7, 7, 60, 14), "IDC_NUMBER"},
                         {EControlKind::Edit, kEditText, "", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(7, 27, 60, 14), "IDC_TEXT"},
                         {EControlKind::Button, kButtonGo, "Go", WS_VISIBLE | WS_TABSTOP,
                          DialogUnits(80, 7, 40, 14), "IDC_GO"},
                         {EControlKind::ListView, kList, "", WS_VISIBLE | WS_TABSTOP | LVS_REPORT,
                          DialogUnits(7, 47, 120, 60), "IDC_LIST"}}};
    resources.Menus[kMenuId] =
        SMenuTemplate{kMenuId,
                      {{0,
                        "Context Menu",
                        MF_STRING,
                        {{kCommandShare, "Share this connection", MF_STRING, {}},
                         {kCommandUnshare, "Disable this share", MF_STRING, {}}}}}};
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

    void OnNumberChanged()
    {
        ++m_nChanges;
        UpdateData(TRUE);
    }
    void OnGo() { ++m_nGo; }
    void OnShare() { ++m_nShare; }

    void OnSysCommand(UINT nID, LPARAM lParam) override
    {
        m_SysCommands.push_back(nID);
        CDialog::OnSysCommand(nID, lParam);
    }

    int m_nNumber = 10000;
    std::string m_strText = "server.example";
    int m_nChanges = 0;
    int m_nGo = 0;
    int m_nShare = 0;
    std::vector<UINT> m_SysCommands;
    CListCtrl m_List;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Text(pDX, kEditNumber, m_nNumber);
        DDX_Text(pDX, kEditText, m_strText);
        DDX_Control(pDX, kList, m_List);
    }
};

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CResources::SetCurrent(&m_Resources);
        ASSERT_TRUE(m_Dialog.Create(kDialogId));
        m_Dialog.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        CMenu::SetTrackHook(nullptr);
        SetMessageBoxHook(nullptr);
        CResources::SetCurrent(nullptr);
    }

    QLineEdit* Edit(int nID) { return qobject_cast<QLineEdit*>(m_Dialog.GetDlgItem(nID)); }

    CResources m_Resources = MakeResources();
    CExchangeDialog m_Dialog;
};

} // namespace

TEST_F(DialogTest, pixelSizesComeFromDialogUnitsThroughTheFont)
{
    const QFont font = m_Dialog.GetSafeHwnd()->font();
    const RECT rcSize = MapDialogRect(DialogUnits(0, 0, 200, 120), font);
    EXPECT_EQ(m_Dialog.GetSafeHwnd()->size(), QSize(rcSize.right, rcSize.bottom));
    const RECT rcBase = MapDialogRect(DialogUnits(0, 0, 4, 8), font);
    EXPECT_GT(rcBase.right, 0);
    EXPECT_EQ(rcBase.bottom, QFontMetrics(font).height());
    // A larger font gives larger units.
    QFont large = font;
    large.setPointSize(font.pointSize() * 2);
    const RECT rcLarge = MapDialogRect(DialogUnits(0, 0, 200, 120), large);
    EXPECT_GT(rcLarge.right, rcSize.right * 3 / 2);
    EXPECT_GT(rcLarge.bottom, rcSize.bottom * 3 / 2);
}

TEST_F(DialogTest, copyingMembersToControlsRaisesNoNotification)
{
    EXPECT_EQ(Edit(kEditNumber)->text(), "10000");
    EXPECT_EQ(Edit(kEditText)->text(), "server.example");
    m_Dialog.m_nNumber = 42;
    m_Dialog.UpdateData(FALSE);
    EXPECT_EQ(Edit(kEditNumber)->text(), "42");
    EXPECT_EQ(m_Dialog.m_nChanges, 0);
    // Typing reaches the handler, whose exchange reads every control.
    Edit(kEditText)->setText("localhost");
    QTest::keyClick(Edit(kEditNumber), Qt::Key_7);
    EXPECT_EQ(m_Dialog.m_nChanges, 1);
    EXPECT_EQ(m_Dialog.m_nNumber, 427);
    EXPECT_EQ(m_Dialog.m_strText, "localhost");
}

TEST_F(DialogTest, textThatIsNoNumberFailsTheExchangeAndKeepsTheMember)
{
    Edit(kEditNumber)->setText("12x");
    EXPECT_EQ(m_Dialog.m_nNumber, 10000);
    EXPECT_FALSE(m_Dialog.UpdateData(TRUE));
    Edit(kEditNumber)->setText(" 8080 ");
    EXPECT_TRUE(m_Dialog.UpdateData(TRUE));
    EXPECT_EQ(m_Dialog.m_nNumber, 8080);
}

TEST_F(DialogTest, commandsAreRoutedByControlId)
{
    QTest::mouseClick(qobject_cast<QPushButton*>(m_Dialog.GetDlgItem(kButtonGo)), Qt::LeftButton);
    EXPECT_EQ(m_Dialog.m_nGo, 1);
    EXPECT_TRUE(m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(kButtonGo, BN_CLICKED), 0));
    EXPECT_EQ(m_Dialog.m_nGo, 2);
    EXPECT_FALSE(m_Dialog.SendMessage(WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0));
}

TEST_F(DialogTest, enterEndsATopLevelDialogWithOk)
{
    CExchangeDialog dialog;
    QTimer::singleShot(0, [&] {
        dialog.GetSafeHwnd()->activateWindow();
        QTest::keyClick(qobject_cast<QLineEdit*>(dialog.GetDlgItem(kEditText)), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(dialog.IsWindowVisible());
}

TEST_F(DialogTest, modalDialogTakesItsOwnersInputAndItsOwnKeysAndEndsWithIt)
{
    CWnd::SetMainWnd(&m_Dialog);
    CExchangeDialog dialog;
    QWidget* pGo = m_Dialog.GetDlgItem(kButtonGo);
    bool bOwnerEnded = false;
    const auto shown = [&] { return dialog.GetSafeHwnd(); };
    auto pTimedOut = OnShownWindow(shown, [&](QWidget* pModal) {
        EXPECT_EQ(QApplication::activeModalWidget(), pModal);
        ClickThroughWindow(pGo);
        // Enter in the dialog is the dialog's: the owner, whose Enter would end it, sees none.
        dialog.GetDlgItem(kEditText)->setFocus();
        PressKeyIn(pModal, Qt::Key_Escape);
        bOwnerEnded = !m_Dialog.IsWindowVisible();
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pTimedOut);
    EXPECT_FALSE(bOwnerEnded);
    EXPECT_EQ(m_Dialog.m_nGo, 0);
    ClickThroughWindow(pGo);
    EXPECT_EQ(m_Dialog.m_nGo, 1);

    // A dialog that the owner's close ends with it.
    pTimedOut = OnShownWindow(shown, [&](QWidget*) { m_Dialog.EndDialog(IDCANCEL); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pTimedOut);
    EXPECT_FALSE(dialog.IsWindowVisible());
    CWnd::SetMainWnd(nullptr);
}

TEST_F(DialogTest, messageBoxTakesEnterAndEscapeAndShowsOnlyTheIconAskedFor)
{
    QWidget* pGo = m_Dialog.GetDlgItem(kButtonGo);
    const std::pair<UINT, QMessageBox::Icon> kinds[] = {
        {MB_OK, QMessageBox::NoIcon},
        {MB_ICONSTOP | MB_OK, QMessageBox::Critical},
        {MB_ICONINFORMATION, QMessageBox::Information}};
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        for (const auto& [nType, icon] : kinds) {
            QMessageBox::Icon shown = QMessageBox::Warning;
            auto pTimedOut = OnMessageBox([&](QWidget* pBox) {
                shown = qobject_cast<QMessageBox*>(pBox)->icon();
                ClickThroughWindow(pGo);
                PressKeyIn(pBox, key);
            });
            EXPECT_EQ(RunMessageBox({&m_Dialog, "Failed to initialise COM!", "Fatal error", nType}),
                      IDOK);
            EXPECT_FALSE(*pTimedOut) << key << " " << nType;
            EXPECT_EQ(shown, icon) << nType;
        }
    }
    EXPECT_EQ(m_Dialog.m_nGo, 0);
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

TEST_F(DialogTest, rightClickBesideTheControlsOpensTheSystemMenu)
{
    m_Dialog.GetSystemMenu(FALSE)->AppendMenu(MF_SEPARATOR);
    m_Dialog.GetSystemMenu(FALSE)->AppendMenu(MF_STRING, kAboutCommand, "&About Tarnlow...");
    std::vector<std::string> items;
    CMenu::SetTrackHook([&](const CMenu& shown, POINT) {
        items.clear();
        for (const auto& item : shown.Items())
            items.push_back(item.strText);
        return kAboutCommand;
    });
    QWidget* pWidget = m_Dialog.GetSafeHwnd();
    const QPoint beside(pWidget->width() - 5, pWidget->height() - 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, beside, pWidget->mapToGlobal(beside));
    QApplication::sendEvent(pWidget, &click);
    EXPECT_EQ(items, (std::vector<std::string>{"Minimize", "Close", "", "&About Tarnlow..."}));
    EXPECT_TRUE(
        WaitFor([&] { return m_Dialog.m_SysCommands == std::vector<UINT>{kAboutCommand}; }));

    // Over a control it is the control's business.
    items.clear();
    QWidget* pEdit = Edit(kEditText);
    QContextMenuEvent onEdit(QContextMenuEvent::Mouse, QPoint(2, 2),
                             pEdit->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(pWidget, &onEdit);
    EXPECT_TRUE(items.empty());
}

TEST_F(DialogTest, altSpaceOpensTheSystemMenuAndMinimizeWorks)
{
    CMenu::SetTrackHook([](const CMenu&, POINT) { return SC_MINIMIZE; });
    m_Dialog.GetSafeHwnd()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_Dialog.GetSafeHwnd()));
    QTest::keyClick(Edit(kEditText), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return m_Dialog.GetSafeHwnd()->isMinimized(); }));
    EXPECT_EQ(m_Dialog.m_SysCommands, std::vector<UINT>{SC_MINIMIZE});
}

TEST_F(DialogTest, messageBoxesAreAnsweredByTheHookOrWrittenWhenHeadless)
{
    {
        CTraceCapture capture;
        EXPECT_EQ(MessageBox(&m_Dialog, "Failed to start TCP/IP", "Info", MB_ICONSTOP | MB_OK),
                  IDOK);
        EXPECT_EQ(capture.Text(), "Info: Failed to start TCP/IP\n");
    }
    SMessageBox seen{};
    SetMessageBoxHook([&](const SMessageBox& box) {
        seen = box;
        return IDCANCEL;
    });
    EXPECT_EQ(MessageBox(&m_Dialog, "text", "caption", MB_ICONINFORMATION), IDCANCEL);
    EXPECT_EQ(seen.strCaption, "caption");
    EXPECT_EQ(seen.pOwner, &m_Dialog);
}

TEST_F(DialogTest, listKeepsInsertionOrderAndTheSelectionMark)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name", LVCFMT_LEFT, 160), 0);
    ASSERT_EQ(list.InsertColumn(1, "Shared", LVCFMT_LEFT, 60), 1);
    EXPECT_EQ(list.GetSelectionMark(), -1);
    for (const char* pszName : {"A", "B", "C"}) {
        const int nRow = list.InsertItem(list.GetItemCount(), pszName);
        list.SetItemText(nRow, 1, std::string(pszName) + "!");
    }
    EXPECT_EQ(list.GetItemText(2, 0), "C");
    EXPECT_EQ(list.GetItemText(1, 1), "B!");
    EXPECT_EQ(list.GetItemText(7, 0), "");
    ClickRow(list, 1);
    EXPECT_EQ(list.GetSelectionMark(), 1);
    // Without full-row selection only the first column shows the row selected, and a press on
    // another column selects nothing.
    QTableView* pView = ListViewOf(list);
    m_Dialog.GetSafeHwnd()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_Dialog.GetSafeHwnd()));
    pView->setFocus();
    const QImage image = pView->viewport()->grab().toImage();
    const QColor highlight = pView->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect rcName = pView->visualRect(pView->model()->index(1, 0));
    const QRect rcShared = pView->visualRect(pView->model()->index(1, 1));
    const qreal dpr = image.devicePixelRatio();
    // The style may shade the highlight a little.
    const auto highlighted = [&](const QRect& rcCell) {
        const QColor color =
            image.pixelColor((QPointF(rcCell.right() - 3, rcCell.center().y()) * dpr).toPoint());
        return std::abs(color.red() - highlight.red()) +
                   std::abs(color.green() - highlight.green()) +
                   std::abs(color.blue() - highlight.blue()) <
               24;
    };
    EXPECT_TRUE(highlighted(rcName));
    EXPECT_FALSE(highlighted(rcShared));
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, {},
                      pView->visualRect(pView->model()->index(2, 1)).center());
    EXPECT_EQ(list.GetSelectionMark(), 1);
    EXPECT_FALSE(pView->selectionModel()->hasSelection());
    list.DeleteItem(0);
    EXPECT_EQ(list.GetSelectionMark(), 0);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetSelectionMark(), -1);
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(DialogTest, listTextsEndAtANulAndColumnsMayComeLater)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name"), 0);
    ASSERT_EQ(list.InsertItem(0, std::string("A\0hidden", 8)), 0);
    EXPECT_EQ(list.GetItemText(0, 0), "A");
    EXPECT_FALSE(list.SetItemText(0, 1, "no such column"));
    ASSERT_EQ(list.InsertColumn(1, "Status"), 1);
    EXPECT_EQ(list.GetItemText(0, 1), "");
    EXPECT_TRUE(list.SetItemText(0, 1, std::string("up\0down", 7)));
    // A column put in front of the others moves their texts along.
    ASSERT_EQ(list.InsertColumn(0, "Type"), 0);
    EXPECT_EQ(list.GetColumnHeading(0), "Type");
    EXPECT_EQ(list.GetItemText(0, 0), "");
    EXPECT_EQ(list.GetItemText(0, 1), "A");
    EXPECT_EQ(list.GetItemText(0, 2), "up");
    EXPECT_TRUE(list.SetItemText(0, 0, ""));
    EXPECT_EQ(list.GetItemText(0, 2), "up");
    EXPECT_EQ(list.GetItemText(-1, 0), "");
    EXPECT_FALSE(list.DeleteItem(1));
    RECT rcRow{};
    EXPECT_FALSE(list.GetItemRect(1, &rcRow, LVIR_BOUNDS));
}
