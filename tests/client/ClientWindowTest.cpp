// SPDX-License-Identifier: GPL-3.0-or-later
// The client's window, pages and exchanges, inside a private loopback-only network namespace.
// Every test points the client at 127.0.0.1 before it connects.
#include "ClientResources.h"
#include "LoopbackClient.h"
#include "MessageBox.h"
#include "ScriptedServer.h"
#include "TarnlowClientDlg.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "client/resource.h"

#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace
{

constexpr UINT kShare = ID_SHARE_THIS_CONNECTION;
constexpr UINT kUnshare = ID_DISABLE_THIS_SHARE;

const std::string kExampleReply = "SERVER1:2:(A:Connected:Lan:True:)(B:Disconnected:Dialup:False:)";

class ClientWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CResources::SetCurrent(&ClientResources());
        m_pDlg = std::make_unique<CTarnlowClientDlg>();
        ASSERT_TRUE(m_pDlg->Create(CTarnlowClientDlg::IDD));
        m_pDlg->ShowWindow(SW_SHOW);
        SetAddress("127.0.0.1");
    }

    void TearDown() override
    {
        CMenu::SetTrackHook(nullptr);
        m_pDlg.reset();
        CResources::SetCurrent(nullptr);
    }

    QLineEdit* Edit(int nID)
    {
        return qobject_cast<QLineEdit*>(m_pDlg->m_pCommsPage->GetDlgItem(nID));
    }
    void SetAddress(const std::string& strAddress)
    {
        Edit(IDC_SERVER_IP_ADDRESS)->setText(QString::fromStdString(strAddress));
    }
    void SetPort(int nPort) { Edit(IDC_SERVER_PORT)->setText(QString::number(nPort)); }

    std::vector<std::string> Messages(int nFrom = 0)
    {
        std::vector<std::string> messages;
        for (int i = nFrom; i < m_pDlg->m_pLogPage->m_LogList.GetItemCount(); ++i)
            messages.push_back(m_pDlg->m_pLogPage->m_LogList.GetItemText(i, 1));
        return messages;
    }

    // Presses Connect and waits until its exchanges are done; returns the entries they logged.
    std::vector<std::string> Connect()
    {
        const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
        QTest::mouseClick(qobject_cast<QPushButton*>(m_pDlg->GetDlgItem(IDC_CONNECT)),
                          Qt::LeftButton);
        m_pDlg->m_pExchange->Worker().WaitUntilIdle();
        QCoreApplication::processEvents();
        return Messages(nBefore);
    }

    CListCtrl& List() { return m_pDlg->m_pConnectionsPage->m_ConnectionList; }
    std::string Row(int nRow)
    {
        return List().GetItemText(nRow, 0) + "|" + List().GetItemText(nRow, 1) + "|" +
               List().GetItemText(nRow, 2) + "|" + List().GetItemText(nRow, 3);
    }
    void SelectRow(int nRow)
    {
        m_pDlg->m_tabCtrl.ShowPage(0);
        ClickRow(List(), nRow);
    }

    // Opens the context menu of the connections page; returns whether one was shown.
    bool OpenMenu(POINT point, UINT nChoice, bool* pShareEnabled = nullptr,
                  bool* pUnshareEnabled = nullptr, POINT* pShownAt = nullptr)
    {
        bool bShown = false;
        CMenu::SetTrackHook([&](const CMenu& menu, POINT at) {
            bShown = true;
            if (pShareEnabled != nullptr)
                *pShareEnabled = menu.IsEnabled(kShare);
            if (pUnshareEnabled != nullptr)
                *pUnshareEnabled = menu.IsEnabled(kUnshare);
            if (pShownAt != nullptr)
                *pShownAt = at;
            return nChoice;
        });
        QWidget* pPage = m_pDlg->m_pConnectionsPage->GetSafeHwnd();
        const bool bKeyboard = point.x == -1;
        const QPoint local(10, 10);
        QContextMenuEvent event(bKeyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                                local,
                                bKeyboard ? pPage->mapToGlobal(local) : QPoint(point.x, point.y));
        QApplication::sendEvent(pPage, &event);
        return bShown;
    }

    std::string m_strHost = HostName();
    std::unique_ptr<CTarnlowClientDlg> m_pDlg;
};

std::string ListReply(const std::string& strRequest, const std::string& strList)
{
    const std::string strCommand = strRequest.substr(strRequest.find(':') + 1);
    if (strCommand == "ConnectionList")
        return strList;
    return "SERVER1:" + (strCommand == "Hello" ? std::string("Hello") : std::string("Okay"));
}

} // namespace

TEST_F(ClientWindowTest, opensOnTheLogPageWithItsDefaults)
{
    EXPECT_EQ(m_pDlg->GetWindowText(), "Kestle");
    EXPECT_EQ(m_pDlg->m_tabCtrl.m_nCurrentPage, 2);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Initialsation successful"});
    CComms fresh;
    EXPECT_EQ(fresh.GetServerIPAddress(), "192.168.0.1");
    EXPECT_EQ(fresh.m_strServerPort, "10000");
    EXPECT_EQ(Edit(IDC_SERVER_IP_ADDRESS)->accessibleName(), "Server IP Address");
    EXPECT_EQ(Edit(IDC_SERVER_PORT)->accessibleName(), "Server Port");
    EXPECT_EQ(Edit(IDC_SERVER_PORT)->text(), "10000");
    const std::vector<CMenu::SItem>& items = m_pDlg->GetSystemMenu(FALSE)->Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3].strText, "&About Tarnlow Client...");
}

TEST_F(ClientWindowTest, typingUpdatesTheSettingsAndThePortReadsAsAtoi)
{
    CComms* pComms = m_pDlg->m_pCommsPage;
    EXPECT_EQ(pComms->GetServerIPAddress(), "127.0.0.1");
    EXPECT_EQ(pComms->GetServerPort(), 10000);
    for (const auto& [strText, nPort] : std::vector<std::pair<QString, int>>{
             {"8080", 8080}, {"123abc", 123}, {"", 0}, {"port", 0}, {" 77", 77}, {"-5", -5}}) {
        Edit(IDC_SERVER_PORT)->setText(strText);
        EXPECT_EQ(pComms->GetServerPort(), nPort) << strText.toStdString();
    }
}

TEST_F(ClientWindowTest, connectionsPageShowsTheReplyWithTypeBeforeStatus)
{
    CConnections* pPage = m_pDlg->m_pConnectionsPage;
    pPage->PopulateConnectionList(kExampleReply);
    ASSERT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(Row(0), "A|Lan|Connected|Yes");
    EXPECT_EQ(Row(1), "B|Dialup|Disconnected|No");
    EXPECT_EQ(List().GetColumnHeading(1), "Type");
    EXPECT_EQ(List().GetColumnHeading(2), "Connection status");
    EXPECT_EQ(ListViewOf(List())->selectionMode(), QAbstractItemView::ExtendedSelection);
    pPage->PopulateConnectionList("S:1:(A:Connected:Lan:true:)");
    EXPECT_EQ(Row(0), "A|Lan|Connected|No");
    for (const std::string strReply : {"S:0:", "S:11:(A:C:L:True:)", "", "S:3:(A:C:L:True:)(B:C"}) {
        pPage->PopulateConnectionList(kExampleReply);
        CTraceCapture capture;
        pPage->PopulateConnectionList(strReply);
        const bool bCountValid = strReply.rfind("S:3", 0) == 0;
        EXPECT_EQ(List().GetItemCount(), bCountValid ? 1 : 0) << strReply;
        EXPECT_EQ(capture.Text().find("Invalid connection count") != std::string::npos,
                  !bCountValid);
    }
}

TEST_F(ClientWindowTest, contextMenuOffersExactlyTheFittingCommand)
{
    m_pDlg->m_pConnectionsPage->PopulateConnectionList(kExampleReply);
    EXPECT_FALSE(OpenMenu(POINT{100, 100}, 0));
    bool bShare = false;
    bool bUnshare = false;
    SelectRow(0);
    EXPECT_TRUE(OpenMenu(POINT{100, 100}, 0, &bShare, &bUnshare));
    EXPECT_FALSE(bShare);
    EXPECT_TRUE(bUnshare);
    SelectRow(1);
    POINT shownAt{};
    EXPECT_TRUE(OpenMenu(POINT{-1, -1}, 0, &bShare, &bUnshare, &shownAt));
    EXPECT_TRUE(bShare);
    EXPECT_FALSE(bUnshare);
    POINT corner{0, 0};
    m_pDlg->m_pConnectionsPage->ClientToScreen(&corner);
    EXPECT_EQ(shownAt, (POINT{corner.x + 5, corner.y + 5}));
}

TEST_F(ClientWindowTest, goodConnectLogsSixEntriesAndFillsTheList)
{
    CScriptedServer server(
        [](const std::string& strRequest) { return ListReply(strRequest, kExampleReply); });
    SetPort(server.Port());
    EXPECT_EQ(Connect(), (std::vector<std::string>{
                             "Success connecting to Verrow", m_strHost + ":Hello sent to Verrow",
                             "SERVER1:Hello received from Verrow", "Success connecting to Verrow",
                             m_strHost + ":ConnectionList sent to Verrow",
                             kExampleReply + " received from Verrow"}));
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{m_strHost + ":Hello", m_strHost + ":ConnectionList"}));
    EXPECT_EQ(m_pDlg->m_pExchange->LastReply(), kExampleReply);
    EXPECT_EQ(Row(1), "B|Dialup|Disconnected|No");
}

TEST_F(ClientWindowTest, menuCommandsShareOrUnshareTheMarkedRowAndRefresh)
{
    CScriptedServer server(
        [](const std::string& strRequest) { return ListReply(strRequest, kExampleReply); });
    SetPort(server.Port());
    Connect();
    SelectRow(1);
    OpenMenu(POINT{50, 50}, kShare);
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 5; }));
    m_pDlg->m_pExchange->Worker().WaitUntilIdle();
    EXPECT_EQ(server.Requests()[2], m_strHost + ":Share:1");
    EXPECT_EQ(server.Requests()[3], m_strHost + ":Hello");
    SelectRow(0);
    OpenMenu(POINT{50, 50}, kUnshare);
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 8; }));
    EXPECT_EQ(server.Requests()[5], m_strHost + ":Unshare:0");
}

TEST_F(ClientWindowTest, emptyAndLongRepliesAreWholeExchanges)
{
    std::string strLong = "SERVER1:10:";
    for (int i = 0; i < 10; ++i)
        strLong += "(" + std::string(150, static_cast<char>('a' + i)) + ":Connected:Lan:False:)";
    CScriptedServer server([&](const std::string& strRequest) {
        return strRequest.find("ConnectionList") != std::string::npos ? strLong : std::string();
    });
    SetPort(server.Port());
    const std::vector<std::string> logged = Connect();
    ASSERT_EQ(logged.size(), 6u);
    EXPECT_EQ(logged[2], " received from Verrow");
    EXPECT_EQ(m_pDlg->m_pExchange->LastReply(), strLong);
    ASSERT_EQ(List().GetItemCount(), 10);
    EXPECT_EQ(List().GetItemText(9, 0), std::string(150, 'j'));
}

TEST_F(ClientWindowTest, failedExchangesAreLoggedAndKeepTheRows)
{
    m_pDlg->m_pConnectionsPage->PopulateConnectionList(kExampleReply);
    int nClosedPort = 0;
    {
        CScriptedServer gone([](const std::string&) { return std::string(); });
        nClosedPort = gone.Port();
    }
    SetPort(nClosedPort);
    EXPECT_EQ(Connect(), std::vector<std::string>{"Failed to connect to Verrow (check 127.0.0.1:" +
                                                  std::to_string(nClosedPort) + ")"});
    SetPort(70000);
    EXPECT_EQ(Connect(),
              std::vector<std::string>{"Failed to connect to Verrow (check 127.0.0.1:70000)"});
    Edit(IDC_SERVER_PORT)->setText("none");
    EXPECT_EQ(Connect(),
              std::vector<std::string>{"Failed to connect to Verrow (check 127.0.0.1:0)"});
    SetPort(nClosedPort);
    SetAddress("no.such.host.invalid");
    CTraceCapture capture;
    EXPECT_EQ(Connect(),
              std::vector<std::string>{"Failed to connect to Verrow (check no.such.host.invalid:" +
                                       std::to_string(nClosedPort) + ")"});
    EXPECT_NE(capture.Text().find("Host no.such.host.invalid not found\n"), std::string::npos);
    EXPECT_EQ(List().GetItemCount(), 2);
}

TEST_F(ClientWindowTest, hostNameConnectsToTheAddressItResolvesTo)
{
    CScriptedServer server(
        [](const std::string& strRequest) { return ListReply(strRequest, kExampleReply); });
    SetPort(server.Port());
    SetAddress("localhost");
    EXPECT_EQ(Connect().front(), "Success connecting to Verrow");
    EXPECT_EQ(List().GetItemCount(), 2);
}

TEST_F(ClientWindowTest, closingDuringASilentExchangeEndsQuicklyAndIsNoReply)
{
    // The first Connect is answered; the second waits for a list that never comes.
    std::atomic<int> nLists{0};
    CScriptedServer server([&](const std::string& strRequest) {
        if (strRequest.find("ConnectionList") != std::string::npos && ++nLists > 1)
            return CScriptedServer::kSilent;
        return ListReply(strRequest, kExampleReply);
    });
    SetPort(server.Port());
    Connect();
    ASSERT_EQ(List().GetItemCount(), 2);
    QTest::mouseClick(qobject_cast<QPushButton*>(m_pDlg->GetDlgItem(IDC_CONNECT)), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 4; }));
    Settle();
    const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
    CTraceCapture capture;
    const auto start = std::chrono::steady_clock::now();
    m_pDlg->SendMessage(WM_CLOSE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(m_pDlg->IsWindowVisible());
    QCoreApplication::processEvents();
    // The receive that the close woke logs nothing and leaves the rows of the last reply.
    EXPECT_EQ(Messages(nBefore), std::vector<std::string>{});
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(server.Requests().size(), 4u);
    EXPECT_NE(capture.Text().find("CSockets::SocketShutdown()\n"), std::string::npos);
}

TEST_F(ClientWindowTest, closingWithoutAnExchangeWakesNoSocket)
{
    CTraceCapture capture;
    m_pDlg->SendMessage(WM_CLOSE);
    const std::string strTrace = capture.Text();
    EXPECT_EQ(strTrace.find("SocketShutdown"), std::string::npos) << strTrace;
    EXPECT_NE(strTrace.find("CSockets::ShutdownSockets()"), std::string::npos) << strTrace;
    // Exchanges asked for after the close make no socket and report nothing.
    const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
    EXPECT_FALSE(m_pDlg->m_pExchange->ConnectTarnlowServer({"127.0.0.1", 1}));
    EXPECT_EQ(capture.Text().find("Failed to create the socket"), std::string::npos);
    EXPECT_EQ(m_pDlg->m_pLogPage->m_LogList.GetItemCount(), nBefore);
}

TEST_F(ClientWindowTest, refreshWhileTheMenuIsOpenSendsNoIndexThatNoRowHas)
{
    CScriptedServer server(
        [](const std::string& strRequest) { return ListReply(strRequest, kExampleReply); });
    SetPort(server.Port());
    Connect();
    SelectRow(1);
    CTraceCapture capture;
    CMenu::SetTrackHook([&](const CMenu&, POINT) {
        // A refresh that was queued behind the menu refills the list meanwhile.
        m_pDlg->m_pConnectionsPage->PopulateConnectionList(kExampleReply);
        return kShare;
    });
    QWidget* pPage = m_pDlg->m_pConnectionsPage->GetSafeHwnd();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            pPage->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(pPage, &event);
    Settle();
    m_pDlg->m_pExchange->Worker().WaitUntilIdle();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_NE(capture.Text().find("CTarnlowClientDlg::RequestSharingChange(): No connection is "
                                  "selected, nothing sent\n"),
              std::string::npos);
}

TEST_F(ClientWindowTest, aboutBoxIsModalWithoutMinimiseAndEndsWithTheWindow)
{
    CScriptedServer server(
        [](const std::string& strRequest) { return ListReply(strRequest, kExampleReply); });
    SetPort(server.Port());
    CWnd::SetMainWnd(m_pDlg.get());
    bool bMenuShown = false;
    CMenu::SetTrackHook([&](const CMenu&, POINT) {
        bMenuShown = true;
        return 0u;
    });
    QWidget* pAbout = nullptr;
    const auto findAbout = [&]() -> QWidget* {
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->objectName() == "IDD_100" && pWidget->isVisible())
                return pWidget;
        }
        return nullptr;
    };
    auto pTimedOut = OnShownWindow(findAbout, [&](QWidget* pShown) {
        pAbout = pShown;
        EXPECT_EQ(QApplication::activeModalWidget(), pShown);
        const Qt::WindowFlags flags = pShown->windowFlags();
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        ClickThroughWindow(m_pDlg->GetDlgItem(IDC_CONNECT));
        // No second About box: the main window's frame takes no right-click meanwhile.
        QWidget* pMain = m_pDlg->GetSafeHwnd();
        QTest::mouseClick(pMain->windowHandle(), Qt::RightButton, {},
                          QPoint(pMain->width() - 3, pMain->height() - 3));
        Settle();
        // The main window's close, as a termination signal asks for it, ends the box too.
        m_pDlg->SendMessage(WM_CLOSE);
    });
    m_pDlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
    EXPECT_FALSE(*pTimedOut);
    ASSERT_NE(pAbout, nullptr);
    EXPECT_FALSE(bMenuShown);
    m_pDlg->m_pExchange->Worker().WaitUntilIdle();
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(m_pDlg->IsWindowVisible());
}

TEST_F(ClientWindowTest, enterAndEscapeNeverCloseTheWindow)
{
    m_pDlg->GetSafeHwnd()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pDlg->GetSafeHwnd()));
    m_pDlg->m_tabCtrl.ShowPage(1);
    for (QWidget* pWidget :
         {static_cast<QWidget*>(Edit(IDC_SERVER_IP_ADDRESS)), m_pDlg->GetDlgItem(IDC_CONNECT),
          static_cast<QWidget*>(TabBarOf(m_pDlg->m_tabCtrl))}) {
        pWidget->setFocus();
        QTest::keyClick(pWidget, Qt::Key_Return);
        QTest::keyClick(pWidget, Qt::Key_Escape);
    }
    m_pDlg->m_tabCtrl.ShowPage(0);
    QTest::keyClick(ListViewOf(List()), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
    EXPECT_FALSE(m_pDlg->GetSafeHwnd()->isMinimized());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Initialsation successful"});
}

TEST(ClientStartFailureTest, winsockThatCannotStartShowsTheBoxAndEndsTheProgram)
{
    CResources::SetCurrent(&ClientResources());
    std::vector<SMessageBox> boxes;
    SetMessageBoxHook([&](const SMessageBox& box) {
        boxes.push_back(box);
        return IDOK;
    });
    Winsock::OfferVersionForTests(MAKEWORD(1, 1));
    CTarnlowClientDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    Winsock::OfferVersionForTests(0);
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].strCaption, "Info");
    EXPECT_EQ(boxes[0].strText, "Failed to start TCP/IP");
    EXPECT_EQ(boxes[0].nType, MB_ICONSTOP | MB_OK);
    EXPECT_EQ(dlg.m_pLogPage->m_LogList.GetItemCount(), 0);
    CResources::SetCurrent(nullptr);
}

TEST_F(ClientWindowTest, hostileListRepliesShowOnlyWholeEntries)
{
    // The list the server sends, changed by this thread between exchanges.
    std::mutex listMutex;
    std::string strList;
    const auto setList = [&](const std::string& strReply) {
        std::lock_guard lock(listMutex);
        strList = strReply;
    };
    CScriptedServer server([&](const std::string& strRequest) {
        std::lock_guard lock(listMutex);
        return ListReply(strRequest, strList);
    });
    SetPort(server.Port());
    // More than the client reads: only the entries complete within 64 KiB are shown.
    std::string strLong = "S:10:";
    for (int i = 0; i < 10; ++i)
        strLong += "(" + std::string(10000, static_cast<char>('a' + i)) + ":Connected:Lan:True:)";
    setList(strLong);
    ASSERT_EQ(Connect().size(), 6u);
    EXPECT_EQ(m_pDlg->m_pExchange->LastReply().size(), 65536u);
    ASSERT_EQ(List().GetItemCount(), 6);
    EXPECT_EQ(List().GetItemText(5, 0), std::string(10000, 'f'));

    const std::vector<std::pair<std::string, int>> replies = {
        {"S:5:(a:b:c:True:)", 1},          // fewer entries than counted
        {"S:2:(a:b:c:True:)(d:e", 1},      // the last entry cut short
        {"S:99:(a:b:c:True:)", 0},         // a count beyond ten
        {"S:-3:", 0},                      // a negative count
        {"S:4294967297:(a:b:c:True:)", 0}, // a count that would wrap round to 1
        {std::string("S:1:(a:b:c:True:)\0(d:e:f:False:)", 32), 1},
        {"\xff\xfe\x01garbage", 0},
        {"", 0},
    };
    for (const auto& [strReply, nRows] : replies) {
        setList(strReply);
        EXPECT_EQ(Connect().size(), 6u) << strReply;
        EXPECT_EQ(List().GetItemCount(), nRows) << strReply;
    }
    setList(kExampleReply);
    Connect();
    EXPECT_EQ(Row(0), "A|Lan|Connected|Yes");
}

TEST_F(ClientWindowTest, serverThatResetsFailsTheExchangeAndKeepsTheRows)
{
    m_pDlg->m_pConnectionsPage->PopulateConnectionList(kExampleReply);
    CScriptedServer server([](const std::string&) { return CScriptedServer::kReset; });
    SetPort(server.Port());
    const std::vector<std::string> logged = Connect();
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[2], "Failed to receive reply from Verrow");
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(m_pDlg->m_pExchange->LastReply(), "");
}

TEST_F(ClientWindowTest, closingWhileTheConnectItselfHangsEndsQuickly)
{
    // A listener that never accepts, its queue already full: further connection attempts get no
    // answer at all, as from a host that is off, and the client's connect waits.
    const int nListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t nLength = sizeof address;
    ::getsockname(nListener, reinterpret_cast<sockaddr*>(&address), &nLength);
    ASSERT_EQ(::listen(nListener, 0), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    SetPort(ntohs(address.sin_port));
    const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
    CTraceCapture capture;
    const int nTaken = m_pDlg->m_pExchange->Worker().TakenJobs();
    QTest::mouseClick(qobject_cast<QPushButton*>(m_pDlg->GetDlgItem(IDC_CONNECT)), Qt::LeftButton);
    // The exchange has started: its connect now waits, and nothing comes of it meanwhile.
    ASSERT_TRUE(WaitFor([&] { return m_pDlg->m_pExchange->Worker().TakenJobs() > nTaken; }));
    Settle();
    EXPECT_EQ(Messages(nBefore), std::vector<std::string>{}) << "the connect did not wait";
    const auto start = std::chrono::steady_clock::now();
    m_pDlg->SendMessage(WM_CLOSE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(capture.Text().find("Connect success"), std::string::npos);
    // The connect that the close cut short is no failure to report.
    QCoreApplication::processEvents();
    EXPECT_EQ(Messages(nBefore), std::vector<std::string>{});
    for (const int nFiller : fillers)
        ::close(nFiller);
    ::close(nListener);
}
