// SPDX-License-Identifier: GPL-3.0-or-later
// The server's window, pages and request handling, run inside a private loopback-only network
// namespace where the window's listener has port 10000 to itself.
#include "AdapterGuid.h"
#include "ControlProtocol.h"
#include "LoopbackClient.h"
#include "MemorySharingService.h"
#include "MessageBox.h"
#include "RecordingSharingService.h"
#include "RegisteredService.h"
#include "ServerResources.h"
#include "SharingServiceDoubles.h"
#include "TarnlowServerDlg.h"
#include "TestPlatform.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "server/resource.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace
{

constexpr unsigned short kServerPort = 10000;
using SConnection = CMemorySharingService::SConnection;

class ServerWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
        CResources::SetCurrent(&ServerResources());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_pService = CMemorySharingService::Create();
        m_pRegistration = std::make_unique<CRegisteredService>(m_pService);
        SetMessageBoxHook([this](const SMessageBox& box) {
            m_Boxes.push_back(box.strCaption + ": " + box.strText);
            return IDOK;
        });
    }

    void TearDown() override
    {
        // Skipped before COM began.
        if (m_pService == nullptr)
            return;
        if (m_pDlg != nullptr && !m_pDlg->IsClosing())
            m_pDlg->SendMessage(WM_CLOSE);
        m_pDlg.reset();
        SetMessageBoxHook(nullptr);
        m_pRegistration.reset();
        CoUninitialize();
        CResources::SetCurrent(nullptr);
    }

    void Open()
    {
        m_pDlg = std::make_unique<CTarnlowServerDlg>();
        ASSERT_TRUE(m_pDlg->Create(CTarnlowServerDlg::IDD));
        ASSERT_TRUE(WaitFor([&] { return LastMessage() == "Waiting for a socket event"; }));
    }

    std::vector<std::string> Messages(int nFrom = 0)
    {
        std::vector<std::string> messages;
        for (int i = nFrom; i < m_pDlg->m_pLogPage->m_LogList.GetItemCount(); ++i)
            messages.push_back(m_pDlg->m_pLogPage->m_LogList.GetItemText(i, 1));
        return messages;
    }
    std::string LastMessage()
    {
        const int nCount = m_pDlg->m_pLogPage->m_LogList.GetItemCount();
        return nCount == 0 ? "" : m_pDlg->m_pLogPage->m_LogList.GetItemText(nCount - 1, 1);
    }
    int LogCount() { return m_pDlg->m_pLogPage->m_LogList.GetItemCount(); }

    // One request over TCP to the window's listener, this thread serving the window meanwhile;
    // returns the reply and the entries logged for it.
    std::string Request(const std::string& strRequest, std::vector<std::string>* pLogged = nullptr)
    {
        const int nBefore = LogCount();
        auto reply =
            std::async(std::launch::async, [&] { return Exchange(strRequest, kServerPort); });
        EXPECT_TRUE(WaitFor([&] {
            return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                   LastMessage() == "Waiting for a socket event" && LogCount() > nBefore;
        }));
        std::vector<std::string> logged = Messages(nBefore);
        if (!logged.empty())
            logged.pop_back();
        if (pLogged != nullptr)
            *pLogged = std::vector<std::string>(
                logged.begin() + std::min<std::size_t>(2, logged.size()), logged.end());
        return reply.get();
    }

    std::string Row(int nRow)
    {
        CListCtrl& list = m_pDlg->m_pConnectionsPage->m_ConnectionList;
        return list.GetItemText(nRow, 0) + "|" + list.GetItemText(nRow, 1) + "|" +
               list.GetItemText(nRow, 2) + "|" + list.GetItemText(nRow, 3);
    }

    std::shared_ptr<CMemorySharingService> m_pService;
    std::unique_ptr<CRegisteredService> m_pRegistration;
    std::vector<std::string> m_Boxes;
    std::unique_ptr<CTarnlowServerDlg> m_pDlg;
    const std::string m_strHost = HostName();
};

} // namespace

TEST_F(ServerWindowTest, opensOnTheLogPageWithTheConnectionsListed)
{
    m_pService->AddConnection(TestConnection(L"LAN 1", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED));
    auto unreadable = TestConnection(L"Hidden", NCM_LAN);
    unreadable.bPropertiesReadable = false;
    m_pService->AddConnection(unreadable);
    Open();
    EXPECT_EQ(m_pDlg->GetWindowText(), "Verrow");
    EXPECT_EQ(m_pDlg->m_tabCtrl.m_nCurrentPage, 2);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Program started", "Populated connection list",
                                        "TCP/IP: Starting", "TCP/IP: Started",
                                        "Listening for clients", "Waiting for a socket event"}));
    EXPECT_EQ(Row(0), "LAN 1|Lan|Connected|No");
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|No");
    EXPECT_EQ(Row(2), "|Unknown|Unknown|No");
    EXPECT_EQ(ControlText(m_pDlg->m_pConnectionsPage->GetDlgItem(IDC_IP_ADDRESS)), "127.0.0.1");
    EXPECT_TRUE(m_Boxes.empty());
}

TEST_F(ServerWindowTest, listAndReplyAskFourQuestionsInOrderAndTheCloseLetsGoWhileComIsThere)
{
    auto pRecord = std::make_shared<SServiceRecord>();
    // One registration of the class at a time: the system's COM gives the first one it has.
    m_pRegistration.reset();
    const CRegisteredService recorded(new CRecordedFactory(pRecord, m_pService));
    ASSERT_EQ(recorded.Result(), S_OK);
    m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    auto shared = TestConnection(L"My ISP", NCM_PHONE);
    shared.bSharingEnabled = true;
    m_pService->AddConnection(shared);
    Open();
    // Name, status, media type and sharing flag, each asked afresh through its own operation.
    const std::vector<std::string> lan = {"props", "name",  "props", "status", "props",
                                          "media", "props", "props", "media"};
    std::vector<std::string> dialup = lan;
    dialup.insert(dialup.end(), {"configuration", "enabled"});
    std::vector<std::string> rows = lan;
    rows.insert(rows.end(), dialup.begin(), dialup.end());
    std::vector<std::string> refresh = {"props", "media", "props", "media"};
    refresh.insert(refresh.end(), rows.begin(), rows.end());
    pRecord->TakeCalls();
    m_pDlg->m_pConnectionsPage->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED));
    EXPECT_EQ(pRecord->TakeCalls(), refresh);
    EXPECT_EQ(Row(1), "My ISP|Dialup|Connected|Yes");
    EXPECT_EQ(Request("client:ConnectionList"),
              m_strHost + ":2:(LAN:Connected:Lan:False:)(My ISP:Connected:Dialup:True:)");
    // Before it is answered, the client's way back is looked for among the connections' adapters,
    // where the system tells the way (Wine has no GetBestRoute2).
    std::vector<std::string> answered =
        UnderWine() ? std::vector<std::string>{} : std::vector<std::string>{"props", "props"};
    answered.insert(answered.end(), rows.begin(), rows.end());
    EXPECT_EQ(pRecord->TakeCalls(), answered);

    // The server's own COM is the last: once it closes, COM is gone.
    CoUninitialize();
    m_pDlg->SendMessage(WM_CLOSE);
    {
        std::lock_guard lock(pRecord->Mutex);
        EXPECT_EQ(pRecord->nLiveObjects, 0);
    }
    m_pDlg.reset();
    std::lock_guard lock(pRecord->Mutex);
    EXPECT_EQ(pRecord->nLiveObjects, 0);
    EXPECT_EQ(pRecord->nReleasedWithoutCom, 0);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
}

// Loopback's adapter stands for the uplink: a client whose replies would leave through a dial-up
// connection is closed at once, without a reply or the listener's entries, and named once a
// minute; the listener serves on.
TEST_F(ServerWindowTest, aClientBeyondTheDialupConnectionGetsNothingAndIsNamedOnce)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine has no GetBestRoute2";
    const std::string strLoopback = AdapterGuidOf("127.0.0.1");
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.strGuid.assign(strLoopback.begin(), strLoopback.end());
    const int nDialup = m_pService->AddConnection(dialup);
    Open();
    const int nBefore = LogCount();
    const std::string strRefused = "Refused a client at 127.0.0.1, beyond the dial-up connection "
                                   "My ISP";
    EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "");
    EXPECT_TRUE(WaitFor([&] { return LastMessage() == strRefused; }));
    EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "");

    // Once the adapter is no dial-up connection's, the client is answered; its entries follow the
    // one naming the first client, with none for the second.
    m_pService->RemoveConnection(nDialup);
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Hello", &logged), m_strHost + ":Hello");
    EXPECT_EQ(Messages(nBefore),
              (std::vector<std::string>{
                  strRefused, "Socket accept request received",
                  "Accepted a connection from 127.0.0.1", "Message Received: PC7:Hello",
                  "Replied with: " + m_strHost + ":Hello", "Waiting for a socket event"}));
}

TEST_F(ServerWindowTest, everyRequestGetsItsReplyAndLogEntries)
{
    m_pService->AddConnection(TestConnection(L"Local Area Connection", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED));
    Open();
    const std::string strHost = m_strHost;
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Hello", &logged), strHost + ":Hello");
    EXPECT_EQ(logged, (std::vector<std::string>{"Message Received: PC7:Hello",
                                                "Replied with: " + strHost + ":Hello"}));
    EXPECT_EQ(Request("Hello"), strHost + ":Hello");
    EXPECT_EQ(
        Request("PC7:ConnectionList", &logged),
        strHost +
            ":2:(Local Area Connection:Connected:Lan:False:)(My ISP:Disconnected:Dialup:False:)");
    EXPECT_EQ(logged, std::vector<std::string>{"Message Received: PC7:ConnectionList"});
    EXPECT_EQ(Request("PC7:Share:1", &logged), strHost + ":Okay");
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Message Received: PC7:Share:1", "Share request for connection 1",
                          "Replied with: " + strHost + ":Okay", "Populated connection list"}));
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|Yes");
    EXPECT_EQ(Request("PC7:Unshare:1", &logged), strHost + ":Okay");
    EXPECT_EQ(logged[1], "Unshare request for connection 1");
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|No");
    EXPECT_EQ(Request("PC7:Share:0", &logged), strHost + ":Failed");
    EXPECT_EQ(logged.back(), "Populated connection list");
    EXPECT_EQ(Request("PC7:Share:2:3", &logged), strHost + ":Failed");
    EXPECT_EQ(logged[1], "Share request for connection 2");
    EXPECT_EQ(Request("PC7:Share", &logged), strHost + ":Failed");
    EXPECT_EQ(logged[1], "Share request for connection 0");
    EXPECT_EQ(Request("PC7:Connect:3", &logged), strHost + ":Okay");
    EXPECT_EQ(logged, (std::vector<std::string>{"Message Received: PC7:Connect:3",
                                                "Connect request for connection 0",
                                                "Replied with: " + strHost + ":Okay"}));
    EXPECT_EQ(Request("PC7:Disconnect:2", &logged), strHost + ":Okay");
    EXPECT_EQ(logged[1], "Disconnect request for connection 0");
    EXPECT_EQ(Request("PC7:ConnectionList2", &logged), strHost + ":Okay");
    EXPECT_EQ(logged[1], "Connect request for connection 0");
    EXPECT_EQ(Request("PC7:Goodbye", &logged), "");
    EXPECT_EQ(logged, std::vector<std::string>{"Message Received: PC7:Goodbye"});
    for (const std::string strRequest : {"PC7:hello", "PC7:"}) {
        EXPECT_EQ(Request(strRequest, &logged), strHost + ":Unknown");
        EXPECT_EQ(logged, std::vector<std::string>{"Message Received: " + strRequest});
    }
}

TEST_F(ServerWindowTest, aRefusedChangeFailsWithOneEntrySayingWhy)
{
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.hrEnableSharing = E_ACCESSDENIED;
    dialup.strFailure = L"the server does not have the CAP_NET_ADMIN capability";
    dialup.bSharingEnabled = true;
    dialup.hrDisableSharing = E_FAIL;
    m_pService->AddConnection(dialup);
    Open();
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Share:0", &logged), m_strHost + ":Failed");
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Message Received: PC7:Share:0", "Share request for connection 0",
                          "The system refused to share connection 0: the server does not have "
                          "the CAP_NET_ADMIN capability",
                          "Replied with: " + m_strHost + ":Failed", "Populated connection list"}));
    EXPECT_EQ(Request("PC7:Unshare:0", &logged), m_strHost + ":Failed");
    EXPECT_EQ(logged[2], "The system refused to unshare connection 0: the server does not have "
                         "the CAP_NET_ADMIN capability");
}

// Where the service needs a private side, the LAN's connection becomes it with one entry, and the
// unshare takes it away again with another; without a LAN the share fails and says why.
TEST_F(ServerWindowTest, thePrivateSideComesAndGoesWithItsEntries)
{
    m_pService->SetPrivateSideNeeded(true);
    const int nLan = m_pService->AddConnection(TestConnection(L"Local Area Connection", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Share:1", &logged), m_strHost + ":Okay");
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Message Received: PC7:Share:1", "Share request for connection 1",
                          "Local Area Connection becomes the LAN side, and Windows gives it a "
                          "new address",
                          "Sharing with the LAN through Local Area Connection",
                          "Replied with: " + m_strHost + ":Okay", "Populated connection list"}));
    EXPECT_TRUE(m_pService->GetConnection(nLan).bSharingEnabled);
    EXPECT_EQ(Request("PC7:Unshare:1", &logged), m_strHost + ":Okay");
    EXPECT_EQ(logged[2], "No longer sharing with the LAN through Local Area Connection");
    EXPECT_FALSE(m_pService->GetConnection(nLan).bSharingEnabled);
    m_pService->RemoveConnection(nLan);
    EXPECT_EQ(Request("PC7:Share:1", &logged), m_strHost + ":Failed");
    EXPECT_EQ(logged[2],
              "The system refused to share connection 1: there is no LAN connection to share with");
}

TEST_F(ServerWindowTest, oddRequestsAreReadSafely)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    std::vector<std::string> logged;
    for (const std::string strIndex :
         {"-1", "99999999999999999999", "-99999999999999999999", "256"}) {
        EXPECT_EQ(Request("PC7:Share:" + strIndex, &logged), m_strHost + ":Failed") << strIndex;
    }
    EXPECT_EQ(Request(std::string("PC7:Hel\0lo", 10), &logged), m_strHost + ":Unknown");
    EXPECT_EQ(logged, std::vector<std::string>{"Message Received: PC7:Hel"});
    const std::string strLong = "PC7:" + std::string(2044, 'x');
    EXPECT_EQ(Request(strLong, &logged), m_strHost + ":Unknown");
    EXPECT_EQ(logged, std::vector<std::string>{"Message Received: " + strLong});
}

TEST_F(ServerWindowTest, withoutDialupTheNoticeNeverHoldsTheListener)
{
    m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    Open();
    EXPECT_EQ(m_Boxes, std::vector<std::string>{
                           "Information: There are no Dial-up connections on this machine"});
    EXPECT_EQ(m_pDlg->m_pConnectionsPage->m_ConnectionList.GetItemCount(), 0);
    EXPECT_EQ(Messages()[1], "TCP/IP: Starting");
    // The notice raised by a request is shown later, after the reply has gone.
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Share:0", &logged), m_strHost + ":Failed");
    EXPECT_TRUE(WaitFor([&] { return m_Boxes.size() == 2; }));
    EXPECT_EQ(Request("PC7:ConnectionList"), m_strHost + ":1:(LAN:Connected:Lan:False:)");
    // Refresh asks again, and the list stays empty.
    ClickButton(m_pDlg->m_pConnectionsPage->GetDlgItem(IDC_REFRESH));
    EXPECT_EQ(m_Boxes.size(), 3u);
    EXPECT_EQ(m_pDlg->m_pConnectionsPage->m_ConnectionList.GetItemCount(), 0);
}

TEST_F(ServerWindowTest, replyThatCannotBeSentIsReported)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    const int nBefore = LogCount();
    const char cRequest[] = "PC7:Share:0";
    CTraceCapture capture;
    EXPECT_FALSE(m_pDlg->m_pHandler->ProcessRequest(cRequest, sizeof cRequest - 1, "127.0.0.1",
                                                    [](const std::string&) { return false; }));
    EXPECT_NE(
        capture.Text().find("CTarnlowServerDlg::ProcessRequest(): error replying to client\n"),
        std::string::npos);
    EXPECT_EQ(Messages(nBefore), (std::vector<std::string>{"Message Received: PC7:Share:0",
                                                           "Share request for connection 0"}));
}

TEST_F(ServerWindowTest, keysSettingsAndSystemMenu)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    CComms* pComms = m_pDlg->m_pCommsPage;
    HWND hPort = pComms->GetDlgItem(IDC_RECEIVE_PORT);
    EXPECT_EQ(ControlText(hPort), "10000");
    EXPECT_EQ(ControlText(pComms->GetDlgItem(IDC_RESPONSE_TIMEOUT)), "500");
    SetControlText(hPort, "12345");
    EXPECT_EQ(pComms->GetReceivePort(), 12345);
    SetControlText(hPort, "");
    EXPECT_EQ(pComms->GetReceivePort(), 12345);
    // The listener keeps the port it started with.
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");

    const std::vector<CMenu::SItem>& items = m_pDlg->GetSystemMenu(FALSE)->Items();
    // The system's own items come first.
    ASSERT_GE(items.size(), 2u);
    EXPECT_NE(items[items.size() - 2].nFlags & MF_SEPARATOR, 0u);
    EXPECT_EQ(items.back().strText, "&About Tarnlow Server...");
    EXPECT_EQ(items.back().nId, 0x0010u);

    m_pDlg->ShowWindow(SW_SHOW);
    const int nRows = LogCount();
    m_pDlg->PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    m_pDlg->m_tabCtrl.PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    Settle();
    EXPECT_FALSE(IsMinimised(m_pDlg->GetSafeHwnd()));
    EXPECT_TRUE(m_pDlg->IsWindowVisible());
    EXPECT_EQ(LogCount(), nRows);
    m_pDlg->m_pLogPage->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return IsMinimised(m_pDlg->GetSafeHwnd()); }));
}

namespace
{

// Opens a server window with every message box recorded, and returns the boxes shown.
std::vector<std::string> OpenFailingServer(std::unique_ptr<CTarnlowServerDlg>& pDlg)
{
    std::vector<std::string> boxes;
    SetMessageBoxHook([&](const SMessageBox& box) {
        boxes.push_back(box.strCaption + ": " + box.strText);
        return IDOK;
    });
    CResources::SetCurrent(&ServerResources());
    pDlg = std::make_unique<CTarnlowServerDlg>();
    pDlg->Create(CTarnlowServerDlg::IDD);
    SetMessageBoxHook(nullptr);
    return boxes;
}

} // namespace

TEST(ServerStartFailureTest, comThatCannotBeInitialisedEndsTheProgram)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    std::unique_ptr<CTarnlowServerDlg> pDlg;
    EXPECT_EQ(OpenFailingServer(pDlg),
              std::vector<std::string>{"Fatal error: Failed to initialise COM!"});
    EXPECT_FALSE(pDlg->m_bCOMInitialised);
    EXPECT_FALSE(pDlg->IsWindowVisible());
    EXPECT_TRUE(pDlg->IsClosing());
    pDlg.reset();
    CoUninitialize();
    CResources::SetCurrent(nullptr);
}

// The program sets COM's security before its window exists; security set before the window's
// own attempt is the process's, and the server starts with it.
TEST(ServerStartFailureTest, comSecuritySetBeforeTheWindowIsKept)
{
    if (!OnlyLoopback())
        GTEST_SKIP() << kNotLoopbackOnly;
    if (UnderWine())
        GTEST_SKIP() << "Wine's CoInitializeSecurity takes a second call as the first";
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr),
              S_OK);
    const CRegisteredService registration(CMemorySharingService::CreateWithDefaultConnections());
    std::unique_ptr<CTarnlowServerDlg> pDlg;
    CTraceCapture capture;
    EXPECT_TRUE(OpenFailingServer(pDlg).empty());
    EXPECT_NE(capture.Text().find("CTarnlowServerDlg::InitialiseCOM(): CoInitializeSecurity: "
                                  "RPC_E_TOO_LATE, the process's security is set already\n"),
              std::string::npos);
    EXPECT_TRUE(pDlg->m_bCOMInitialised);
    EXPECT_FALSE(pDlg->IsClosing());
    pDlg->SendMessage(WM_CLOSE);
    pDlg.reset();
    CoUninitialize();
    CResources::SetCurrent(nullptr);
}

TEST(ServerStartFailureTest, winsockThatCannotStartIsLoggedAndEndsTheProgram)
{
    if (!OnlyLoopback())
        GTEST_SKIP() << kNotLoopbackOnly;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    auto registration =
        std::make_unique<CRegisteredService>(CMemorySharingService::CreateWithDefaultConnections());
    Winsock::OfferVersionForTests(MAKEWORD(1, 1));
    std::unique_ptr<CTarnlowServerDlg> pDlg;
    EXPECT_TRUE(OpenFailingServer(pDlg).empty());
    Winsock::OfferVersionForTests(0);
    CListCtrl& log = pDlg->m_pLogPage->m_LogList;
    ASSERT_EQ(log.GetItemCount(), 4);
    EXPECT_EQ(log.GetItemText(2, 1), "TCP/IP: Starting");
    EXPECT_EQ(log.GetItemText(3, 1), "TCP/IP: Failed");
    EXPECT_EQ(pDlg->m_pListener, nullptr) << "no listener, no thread";
    EXPECT_TRUE(pDlg->StartFailed());
    EXPECT_FALSE(pDlg->IsWindowVisible());
    pDlg.reset();
    registration.reset();
    CoUninitialize();
    CResources::SetCurrent(nullptr);
}

TEST_F(ServerWindowTest, shareStormWhileTheListRefreshesKeepsTheListTrueToTheService)
{
    m_pService->AddConnection(TestConnection(L"Local Area Connection", NCM_LAN));
    const int nDialup = m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    constexpr int kClients = 6;
    constexpr int kRequestsEach = 20;
    const char* const commands[] = {"Share:1", "ConnectionList", "Unshare:1"};
    std::atomic<int> nFinished{0};
    std::atomic<int> nReplies{0};
    std::atomic<int> nBadReplies{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            for (int i = 0; i < kRequestsEach; ++i) {
                const std::string strCommand = commands[(c + i) % 3];
                const std::string strReply =
                    Exchange("PC" + std::to_string(c) + ":" + strCommand, kServerPort);
                std::vector<ControlProtocol::SConnectionEntry> entries;
                const bool bGood =
                    strCommand == "ConnectionList"
                        ? ControlProtocol::ReadConnectionListReply(strReply, entries) &&
                              entries.size() == 2 && !entries[0].bShared
                        : strReply == m_strHost + ":Okay";
                nBadReplies += bGood ? 0 : 1;
                ++nReplies;
            }
            ++nFinished;
        });
    // The user keeps pressing Refresh meanwhile, once for each reply (as fast as the clients go,
    // and no faster, so that the log does not fill up): the page never shows a half-made list.
    int nBadLists = 0;
    while (nFinished < kClients) {
        const int nRepliesBefore = nReplies;
        m_pDlg->m_pConnectionsPage->OnBnClickedRefresh();
        const CListCtrl& list = m_pDlg->m_pConnectionsPage->m_ConnectionList;
        nBadLists +=
            list.GetItemCount() == 2 && Row(0) == "Local Area Connection|Lan|Connected|No" ? 0 : 1;
        if (!WaitFor([&] { return nReplies > nRepliesBefore || nFinished == kClients; })) {
            ADD_FAILURE() << "the clients stopped getting replies";
            break;
        }
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(nBadReplies.load(), 0);
    EXPECT_EQ(nBadLists, 0);
    ASSERT_TRUE(WaitFor([&] { return LastMessage() == "Waiting for a socket event"; }));
    m_pDlg->m_pConnectionsPage->OnBnClickedRefresh();
    const bool bShared = m_pService->GetConnection(nDialup).bSharingEnabled;
    EXPECT_EQ(Row(1), std::string("My ISP|Dialup|Connected|") + (bShared ? "Yes" : "No"));
    EXPECT_EQ(Request("PC7:Share:1"), m_strHost + ":Okay");
    EXPECT_TRUE(m_pService->GetConnection(nDialup).bSharingEnabled);
    EXPECT_EQ(Row(1), "My ISP|Dialup|Connected|Yes");
}
