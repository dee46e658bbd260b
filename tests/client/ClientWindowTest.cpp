// SPDX-License-Identifier: GPL-3.0-or-later
// The client's window, pages and exchanges, inside a private loopback-only network namespace.
// Every test points the client at 127.0.0.1 before it connects.
#include "ClientResources.h"
#include "LoopbackClient.h"
#include "LoopbackListener.h"
#include "MessageBox.h"
#include "ScriptedServer.h"
#include "TarnlowClientDlg.h"
#include "TestPlatform.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "client/resource.h"

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
        // Names are resolved, and the client's default server is on the real network.
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
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

    HWND Edit(int nID) { return m_pDlg->m_pCommsPage->GetDlgItem(nID); }
    void SetAddress(const std::string& strAddress)
    {
        SetControlText(Edit(IDC_SERVER_IP_ADDRESS), strAddress);
    }
    void SetPort(int nPort) { SetControlText(Edit(IDC_SERVER_PORT), std::to_string(nPort)); }

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
        ClickButton(m_pDlg->GetDlgItem(IDC_CONNECT));
        m_pDlg->m_pExchange->Worker().WaitUntilIdle();
        RunPending();
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
        HWND hPage = m_pDlg->m_pConnectionsPage->GetSafeHwnd();
        if (point.x == -1)
            ContextMenuKey(hPage);
        else
            ContextMenuAt(hPage, point);
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
    EXPECT_EQ(AccessibleName(Edit(IDC_SERVER_IP_ADDRESS)), "Server IP Address");
    EXPECT_EQ(AccessibleName(Edit(IDC_SERVER_PORT)), "Server Port");
    EXPECT_EQ(ControlText(Edit(IDC_SERVER_PORT)), "10000");
    // The system's own items come first.
    const std::vector<CMenu::SItem>& items = m_pDlg->GetSystemMenu(FALSE)->Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.back().strText, "&About Tarnlow Client...");
}

TEST_F(ClientWindowTest, typingUpdatesTheSettingsAndThePortReadsAsAtoi)
{
    CComms* pComms = m_pDlg->m_pCommsPage;
    EXPECT_EQ(pComms->GetServerIPAddress(), "127.0.0.1");
    EXPECT_EQ(pComms->GetServerPort(), 10000);
    for (const auto& [strText, nPort] : std::vector<std::pair<std::string, int>>{
             {"8080", 8080}, {"123abc", 123}, {"", 0}, {"port", 0}, {" 77", 77}, {"-5", -5}}) {
        SetControlText(Edit(IDC_SERVER_PORT), strText);
        EXPECT_EQ(pComms->GetServerPort(), nPort) << strText;
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
    EXPECT_TRUE(ListTakesManyRows(List()));
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
    SetControlText(Edit(IDC_SERVER_PORT), "none");
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
    ClickButton(m_pDlg->GetDlgItem(IDC_CONNECT));
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 4; }));
    Settle();
    const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
    CTraceCapture capture;
    // Hidden first: what is timed is the close's wait for the exchange, not the hiding of the
    // window, for which Wine waits up to 2 s on a window manager.
    m_pDlg->ShowWindow(SW_HIDE);
    const auto start = std::chrono::steady_clock::now();
    m_pDlg->SendMessage(WM_CLOSE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(m_pDlg->IsWindowVisible());
    RunPending();
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
    ContextMenuAt(m_pDlg->m_pConnectionsPage->GetSafeHwnd(), POINT{10, 10});
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
    HWND hAbout = nullptr;
    auto pTimedOut = OnShown([] { return ShownWindow("About Tarnlow Client"); },
                             [&](HWND hShown) {
                                 hAbout = hShown;
                                 EXPECT_TRUE(TakesInput(hShown));
                                 EXPECT_FALSE(HasMinimiseOrMaximiseBox(hShown));
                                 // Neither Connect nor the main window's frame (a second About box)
                                 // takes input meanwhile.
                                 EXPECT_FALSE(TakesInput(m_pDlg->GetDlgItem(IDC_CONNECT)));
                                 EXPECT_FALSE(TakesInput(m_pDlg->GetSafeHwnd()));
                                 // The main window's close, as a termination signal asks for it,
                                 // ends the box too.
                                 m_pDlg->SendMessage(WM_CLOSE);
                             });
    m_pDlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
    EXPECT_FALSE(*pTimedOut);
    ASSERT_NE(hAbout, nullptr);
    EXPECT_FALSE(bMenuShown);
    m_pDlg->m_pExchange->Worker().WaitUntilIdle();
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(m_pDlg->IsWindowVisible());
}

TEST_F(ClientWindowTest, enterAndEscapeNeverCloseTheWindow)
{
    ASSERT_TRUE(ActivateWindow(m_pDlg->GetSafeHwnd()));
    m_pDlg->m_tabCtrl.ShowPage(1);
    for (HWND hControl : {Edit(IDC_SERVER_IP_ADDRESS), m_pDlg->GetDlgItem(IDC_CONNECT),
                          TabRowOf(m_pDlg->m_tabCtrl)}) {
        FocusControl(hControl);
        PressKey(hControl, VK_RETURN);
        PressKey(hControl, VK_ESCAPE);
    }
    m_pDlg->m_tabCtrl.ShowPage(0);
    FocusControl(List().GetSafeHwnd());
    PressKey(List().GetSafeHwnd(), VK_ESCAPE);
    Settle();
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
    EXPECT_FALSE(IsMinimised(m_pDlg->GetSafeHwnd()));
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
    if (UnderWine())
        GTEST_SKIP() << "Wine now and then reports a reset as an orderly close";
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
    const CUnansweredPort unanswered;
    ASSERT_NE(unanswered.Port(), 0);
    SetPort(unanswered.Port());
    const int nBefore = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
    CTraceCapture capture;
    const int nTaken = m_pDlg->m_pExchange->Worker().TakenJobs();
    ClickButton(m_pDlg->GetDlgItem(IDC_CONNECT));
    // The exchange has started: its connect now waits, and nothing comes of it meanwhile.
    ASSERT_TRUE(WaitFor([&] { return m_pDlg->m_pExchange->Worker().TakenJobs() > nTaken; }));
    Settle();
    EXPECT_EQ(Messages(nBefore), std::vector<std::string>{}) << "the connect did not wait";
    // Hidden first: what is timed is the close's wait for the exchange, not the hiding of the
    // window, for which Wine waits up to 2 s on a window manager.
    m_pDlg->ShowWindow(SW_HIDE);
    const auto start = std::chrono::steady_clock::now();
    m_pDlg->SendMessage(WM_CLOSE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(capture.Text().find("Connect success"), std::string::npos);
    // The connect that the close cut short is no failure to report.
    RunPending();
    EXPECT_EQ(Messages(nBefore), std::vector<std::string>{});
}
