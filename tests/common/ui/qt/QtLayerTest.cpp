// SPDX-License-Identifier: GPL-3.0-or-later
// What the windowing layer does over Qt in its own right: dialog units through Qt's fonts, the
// modality that the window system enforces, the message boxes' icons and their headless text,
// stand-ins for the system menu, the list's model and look, and the names that screen readers
// read; and the pages' sizes and headless boxes as Qt gives them.
#include "../ExchangeDialog.h"
#include "Log.h"
#include "MessageBox.h"
#include "ServerResources.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "qt/DialogUnits.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>

namespace
{

class QtLayerTest : public CExchangeDialogTest
{
protected:
    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
        CExchangeDialogTest::TearDown();
    }
};

// The server's main window with its Log page, as the programs make theirs.
class QtPagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Resources = WithTestWindows(ServerResources());
        CResources::SetCurrent(&m_Resources);
        m_pLog = new CLog(kServerLogVariant);
        m_pWindow = std::make_unique<CTestMainWindow>(m_pLog);
        ASSERT_TRUE(m_pWindow->Open());
    }

    void TearDown() override
    {
        m_pWindow.reset();
        CResources::SetCurrent(nullptr);
    }

    CPageTabCtrl& Tabs() { return m_pWindow->m_tabCtrl; }
    QTableView* List() const { return ListViewOf(m_pLog->m_LogList); }
    QPushButton* Button(const char* pszName) const
    {
        return m_pLog->GetSafeHwnd()->findChild<QPushButton*>(pszName);
    }

    CResources m_Resources;
    CLog* m_pLog = nullptr;
    std::unique_ptr<CTestMainWindow> m_pWindow;
};

} // namespace

TEST_F(QtLayerTest, pixelSizesComeFromDialogUnitsThroughTheFont)
{
    const QFont font = m_Dialog.GetSafeHwnd()->font();
    const RECT rcSize = MapDialogRect(DialogUnits(0, 0, 320, 200), font);
    EXPECT_EQ(m_Dialog.GetSafeHwnd()->size(), QSize(rcSize.right, rcSize.bottom));
    const RECT rcBase = MapDialogRect(DialogUnits(0, 0, 4, 8), font);
    EXPECT_GT(rcBase.right, 0);
    EXPECT_EQ(rcBase.bottom, QFontMetrics(font).height());
    // A larger font gives larger units.
    QFont large = font;
    large.setPointSize(font.pointSize() * 2);
    const RECT rcLarge = MapDialogRect(DialogUnits(0, 0, 320, 200), large);
    EXPECT_GT(rcLarge.right, rcSize.right * 3 / 2);
    EXPECT_GT(rcLarge.bottom, rcSize.bottom * 3 / 2);
}

// Qt keeps the owner enabled under a modal window: the window system drops its input.
TEST_F(QtLayerTest, aModalDialogOrBoxBlocksClicksOnItsOwner)
{
    QWidget* pGo = Item(kButtonGo);
    CExchangeDialog dialog;
    auto pTimedOut = OnShown([&] { return dialog.GetSafeHwnd(); },
                             [&](HWND hModal) {
                                 EXPECT_EQ(QApplication::activeModalWidget(), hModal);
                                 ClickThroughWindow(pGo);
                                 PressKeyIn(hModal, VK_ESCAPE);
                             });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pTimedOut);
    const std::pair<UINT, QMessageBox::Icon> kinds[] = {
        {MB_OK, QMessageBox::NoIcon},
        {MB_ICONSTOP | MB_OK, QMessageBox::Critical},
        {MB_ICONINFORMATION, QMessageBox::Information}};
    for (const auto& [nType, icon] : kinds) {
        QMessageBox::Icon shown = QMessageBox::Warning;
        pTimedOut = OnMessageBox([&](QWidget* pBox) {
            shown = qobject_cast<QMessageBox*>(pBox)->icon();
            ClickThroughWindow(pGo);
            PressKeyIn(pBox, VK_RETURN);
        });
        EXPECT_EQ(RunMessageBox({&m_Dialog, "Failed to initialise COM!", "Fatal error", nType}),
                  IDOK);
        EXPECT_FALSE(*pTimedOut) << nType;
        EXPECT_EQ(shown, icon) << nType;
    }
    EXPECT_EQ(m_Dialog.m_nGo, 0);
    ClickThroughWindow(pGo);
    EXPECT_EQ(m_Dialog.m_nGo, 1);
}

TEST_F(QtLayerTest, messageBoxesAreAnsweredByTheHookOrWrittenWhenHeadless)
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

TEST_F(QtLayerTest, rightClickBesideTheControlsOpensTheSystemMenu)
{
    m_Dialog.AppendAboutItem(kAboutCommand, kAboutStringId);
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
    EXPECT_EQ(items, (std::vector<std::string>{"Minimize", "Close", "", "&About Exchange..."}));
    EXPECT_TRUE(
        WaitFor([&] { return m_Dialog.m_SysCommands == std::vector<UINT>{kAboutCommand}; }));

    // Over a control it is the control's business.
    items.clear();
    QWidget* pEdit = Item(kEditText);
    QContextMenuEvent onEdit(QContextMenuEvent::Mouse, QPoint(2, 2),
                             pEdit->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(pWidget, &onEdit);
    EXPECT_TRUE(items.empty());
}

TEST_F(QtLayerTest, altSpaceOpensTheSystemMenuAndMinimizeWorks)
{
    CMenu::SetTrackHook([](const CMenu&, POINT) { return SC_MINIMIZE; });
    FocusControl(Item(kEditText));
    QTest::keyClick(Item(kEditText), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return m_Dialog.GetSafeHwnd()->isMinimized(); }));
    EXPECT_EQ(m_Dialog.m_SysCommands, std::vector<UINT>{SC_MINIMIZE});
}

// Without full-row selection only the first column shows the row selected, and a press on
// another column selects nothing.
TEST_F(QtLayerTest, aListShowsOnlyTheFirstColumnSelected)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name", LVCFMT_LEFT, 160), 0);
    ASSERT_EQ(list.InsertColumn(1, "Shared", LVCFMT_LEFT, 60), 1);
    for (const char* pszName : {"A", "B", "C"})
        list.InsertItem(list.GetItemCount(), pszName);
    ClickRow(list, 1);
    ASSERT_EQ(list.GetSelectionMark(), 1);
    QTableView* pView = ListViewOf(list);
    FocusControl(pView);
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
}

// The list's own model moves the rows' texts along with a column put in front of the others
// (the system's list view keeps a row's label in its first column).
TEST_F(QtLayerTest, aColumnPutInFrontMovesTheTextsAlong)
{
    CListCtrl& list = m_Dialog.m_List;
    ASSERT_EQ(list.InsertColumn(0, "Name"), 0);
    ASSERT_EQ(list.InsertColumn(1, "Status"), 1);
    ASSERT_EQ(list.InsertItem(0, "A"), 0);
    EXPECT_TRUE(list.SetItemText(0, 1, "up"));
    ASSERT_EQ(list.InsertColumn(0, "Type"), 0);
    EXPECT_EQ(list.GetColumnHeading(0), "Type");
    EXPECT_EQ(list.GetItemText(0, 0), "");
    EXPECT_EQ(list.GetItemText(0, 1), "A");
    EXPECT_EQ(list.GetItemText(0, 2), "up");
    EXPECT_TRUE(list.SetItemText(0, 0, ""));
    EXPECT_EQ(list.GetItemText(0, 2), "up");
}

TEST_F(QtPagesTest, logPageHasTheTemplateSizesAndItsColumnWidths)
{
    const QFont font = m_pLog->GetSafeHwnd()->font();
    const RECT rcList = MapDialogRect(DialogUnits(7, 7, 298, 146), font);
    EXPECT_EQ(List()->geometry(), QRect(rcList.left, rcList.top, rcList.right - rcList.left,
                                        rcList.bottom - rcList.top));
    const RECT rcSave = MapDialogRect(DialogUnits(275, 157, 30, 12), font);
    EXPECT_EQ(Button("IDC_LOG_SAVE")->geometry().topLeft(), QPoint(rcSave.left, rcSave.top));
    EXPECT_EQ(Button("IDC_LOG_PRINT")->text(), "Print");
    ASSERT_EQ(List()->model()->columnCount(), 2);
    EXPECT_EQ(m_pLog->m_LogList.GetColumnHeading(0), "Date & Time");
    EXPECT_EQ(m_pLog->m_LogList.GetColumnHeading(1), "Message");
    // The widths of the original dialog font, kept for the text of this platform's font.
    EXPECT_EQ(List()->horizontalHeader()->sectionSize(0), ScaleDialogPixels(110, List()->font()));
    EXPECT_EQ(List()->horizontalHeader()->sectionSize(1), ScaleDialogPixels(330, List()->font()));
    EXPECT_GE(List()->horizontalHeader()->sectionSize(0), 110);
    const QString strTimestamp = QString::fromStdString(CLogFanOut::FormatTimestamp(0));
    EXPECT_LT(QFontMetrics(List()->font()).horizontalAdvance(strTimestamp),
              List()->horizontalHeader()->sectionSize(0));
}

TEST_F(QtPagesTest, withoutAScreenTheLogPagesBoxGoesToStandardError)
{
    CTraceCapture capture;
    ClickButton(Button("IDC_LOG_SAVE"));
    EXPECT_EQ(capture.Text(), "WIP: Save the log\n");
}

TEST_F(QtPagesTest, pagesAndTheirListsAreNamedByTheirTabs)
{
    EXPECT_EQ(Tabs().m_pPages[0]->GetSafeHwnd()->accessibleName(), "Connections");
    EXPECT_EQ(Tabs().m_pPages[2]->GetSafeHwnd()->accessibleName(), "Log");
    auto* pLogList = Tabs().m_pPages[2]->GetSafeHwnd()->findChild<QTableView*>();
    ASSERT_NE(pLogList, nullptr);
    EXPECT_EQ(pLogList->accessibleName(), "Log");
    // A control named by its own label keeps that name; this edit has none.
    auto* pEdit = Tabs().m_pPages[0]->GetSafeHwnd()->findChild<QLineEdit*>();
    EXPECT_TRUE(pEdit->accessibleName().isEmpty());
    EXPECT_EQ(TabBarOf(Tabs())->accessibleName(), "Pages");
}
