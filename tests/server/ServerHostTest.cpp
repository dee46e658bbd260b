// SPDX-License-Identifier: GPL-3.0-or-later
// The server's host without any window: the start and its entries, every request with its reply
// and entries, the sharing service's refusals and sides, the notice of no dial-up connection, the
// close that lets go while COM is there, and the start's failures.
#include "AdapterGuid.h"
#include "RecordingSharingService.h"
#include "ServerHostFixture.h"
#include "TestPlatform.h"
#include "TraceCapture.h"

#include <atomic>
#include <thread>

using ServerHostTest = CServerHostTest;

TEST_F(ServerHostTest, startsInOrderWithTheConnectionsAndTheAddressShown)
{
    m_pService->AddConnection(TestConnection(L"LAN 1", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED));
    auto unreadable = TestConnection(L"Hidden", NCM_LAN);
    unreadable.bPropertiesReadable = false;
    m_pService->AddConnection(unreadable);
    Open();
    // What the listener said while the host started comes after the start's own.
    EXPECT_EQ(
        m_Recorder.Messages(),
        (std::vector<std::string>{"Program started", "Populated connection list",
                                  "TCP/IP: Starting", "TCP/IP: Started", "Listening for clients",
                                  "The server's page is at http://127.0.0.1:10001/",
                                  "Waiting for a socket event"}));
    EXPECT_EQ(Row(0), "LAN 1|Lan|Connected|No");
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|No");
    EXPECT_EQ(Row(2), "|Unknown|Unknown|No");
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_Addresses; }),
              std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_nNotices; }), 0);
}

TEST_F(ServerHostTest, listAndReplyAskFourQuestionsInOrderAndTheCloseLetsGoWhileComIsThere)
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
    // A refresh also asks each connection's GUID, by which the page knows it.
    std::vector<std::string> refresh = {"props", "media", "props", "media"};
    for (const std::vector<std::string>* pRow :
         {&lan, static_cast<const std::vector<std::string>*>(&dialup)}) {
        refresh.insert(refresh.end(), pRow->begin(), pRow->end());
        refresh.push_back("props");
    }
    pRecord->TakeCalls();
    m_pHost->Refresh();
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

    // The test's own COM is the last: once the host stops, COM is gone.
    CoUninitialize();
    m_pHost->Stop();
    {
        std::lock_guard lock(pRecord->Mutex);
        EXPECT_EQ(pRecord->nLiveObjects, 0);
    }
    m_pHost.reset();
    std::lock_guard lock(pRecord->Mutex);
    EXPECT_EQ(pRecord->nLiveObjects, 0);
    EXPECT_EQ(pRecord->nReleasedWithoutCom, 0);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
}

// Loopback's adapter stands for the uplink: a client whose replies would leave through a dial-up
// connection is closed at once, without a reply or the listener's entries, and named once a
// minute of the host's clock; the listener serves on.
TEST_F(ServerHostTest, aClientBeyondTheDialupConnectionGetsNothingAndIsNamedOnceAMinute)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine has no GetBestRoute2";
    const std::string strLoopback = AdapterGuidOf("127.0.0.1");
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.strGuid.assign(strLoopback.begin(), strLoopback.end());
    const int nDialup = m_pService->AddConnection(dialup);
    Open();
    const std::size_t nBefore = m_Recorder.Count();
    const std::string strRefused = "Refused a client at 127.0.0.1, beyond the dial-up connection "
                                   "My ISP";
    ExpectKeptAwayAndNamedOnceAMinute(strRefused);

    // Once the adapter is no dial-up connection's, the client is answered; its entries follow the
    // ones naming the client, with none for the client between them.
    m_pService->RemoveConnection(nDialup);
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    EXPECT_EQ(m_Recorder.Messages(nBefore),
              (std::vector<std::string>{
                  strRefused, strRefused, "Socket accept request received",
                  "Accepted a connection from 127.0.0.1", "Message Received: PC7:Hello",
                  "Replied with: " + m_strHost + ":Hello", "Waiting for a socket event"}));
}

// Only the allowed clients use the desktop protocol: another is closed as a client beyond the
// uplink is, and named once a minute; with none allowed, the page alone answers.
TEST_F(ServerHostTest, onlyTheAllowedClientsUseTheDesktopProtocol)
{
    m_Settings = CServerSettings::FromText("clients = 10.0.0.5, 127.0.0.0/30\n", "tarnlow.conf");
    Open();
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    for (const char* pszClients : {"clients = 10.0.0.5, 10.0.1.0/24\n", "clients = none\n"}) {
        m_pHost.reset();
        m_Settings = CServerSettings::FromText(pszClients, "tarnlow.conf");
        Open();
        ExpectKeptAwayAndNamedOnceAMinute(
            "Refused a client at 127.0.0.1, not among the allowed clients");
    }
    EXPECT_TRUE(
        Exchange("GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", CServerSettings::kDefaultPagePort)
            .starts_with("HTTP/1.0 200 OK"));
}

TEST_F(ServerHostTest, everyRequestGetsItsReplyAndLogEntries)
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

TEST_F(ServerHostTest, aRefusedChangeFailsWithOneEntrySayingWhy)
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
TEST_F(ServerHostTest, thePrivateSideComesAndGoesWithItsEntries)
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

TEST_F(ServerHostTest, oddRequestsAreReadSafely)
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

// The notice is the fronts': raised at the start, after a change and on a refresh, with the
// list empty each time; a closing host raises none.
TEST_F(ServerHostTest, withoutDialupEveryRefreshRaisesTheNoticeAndListsNothing)
{
    m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    Open();
    const auto notices = [](CRecorder& r) { return r.m_nNotices; };
    EXPECT_EQ(m_Recorder.Read(notices), 1);
    EXPECT_EQ(m_Recorder.Messages()[1], "TCP/IP: Starting");
    EXPECT_EQ(Request("PC7:Share:0"), m_strHost + ":Failed");
    EXPECT_EQ(m_Recorder.Read(notices), 2);
    EXPECT_EQ(Request("PC7:ConnectionList"), m_strHost + ":1:(LAN:Connected:Lan:False:)");
    m_pHost->Refresh();
    EXPECT_EQ(m_Recorder.Read(notices), 3);
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_Rows.size(); }), 0u);
    m_pHost->Stop();
    m_pHost->Refresh();
    EXPECT_EQ(m_Recorder.Read(notices), 3);
}

TEST_F(ServerHostTest, replyThatCannotBeSentIsReported)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    const std::size_t nBefore = m_Recorder.Count();
    const char cRequest[] = "PC7:Share:0";
    CTraceCapture capture;
    EXPECT_FALSE(m_pHost->Handler().ProcessRequest(cRequest, sizeof cRequest - 1, "127.0.0.1",
                                                   [](const std::string&) { return false; }));
    EXPECT_NE(
        capture.Text().find("CTarnlowServerDlg::ProcessRequest(): error replying to client\n"),
        std::string::npos);
    EXPECT_EQ(m_Recorder.Messages(nBefore),
              (std::vector<std::string>{"Message Received: PC7:Share:0",
                                        "Share request for connection 0"}));
}

// Requests and refreshes side by side: every list shown is whole, and true to the service.
TEST_F(ServerHostTest, shareStormWhileTheListRefreshesKeepsTheListTrueToTheService)
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
    // A refresh for each reply, as fast as the clients go and no faster, so that the log does not
    // fill up.
    for (int nSeen = 0; nFinished < kClients;) {
        m_pHost->Refresh();
        while (nReplies == nSeen && nFinished < kClients)
            std::this_thread::yield();
        nSeen = nReplies;
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(nBadReplies.load(), 0);
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) {
        return std::count(r.m_ListingSizes.begin(), r.m_ListingSizes.end(), 2u);
    }),
              m_Recorder.Read([](CRecorder& r) { return r.m_ListingSizes.size(); }));
    m_pHost->Refresh();
    const bool bShared = m_pService->GetConnection(nDialup).bSharingEnabled;
    EXPECT_EQ(Row(1), std::string("My ISP|Dialup|Connected|") + (bShared ? "Yes" : "No"));
    EXPECT_EQ(Request("PC7:Share:1"), m_strHost + ":Okay");
    EXPECT_TRUE(m_pService->GetConnection(nDialup).bSharingEnabled);
    EXPECT_EQ(Row(1), "My ISP|Dialup|Connected|Yes");
}

namespace
{

std::size_t CountOf(const std::vector<std::string>& messages, const std::string& strEntry)
{
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), strEntry));
}

} // namespace

// A connection that appears or vanishes is in the list at once, with no one to ask, and at most
// once a second of the host's clock; a refresh that finds no dial-up connection raises no notice,
// and a mere status change refreshes nothing.
TEST_F(ServerHostTest, theListFollowsAConnectionThatAppearsOrVanishesAtMostOnceASecond)
{
    const int nLan = m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    Open();
    const auto listings = [](CRecorder& r) { return r.m_ListingSizes.size(); };
    const std::size_t nListings = m_Recorder.Read(listings);
    const int nModem = m_pService->AddConnection(TestConnection(L"Mobile", NCM_PHONE));
    m_Notifications.Fire(MibAddInstance);
    ASSERT_TRUE(
        m_Recorder.WaitUntil([&](CRecorder& r) { return r.m_ListingSizes.size() > nListings; }));
    EXPECT_EQ(Row(1), "Mobile|Dialup|Connected|No");
    EXPECT_TRUE(m_Recorder.WaitUntil(
        [](CRecorder& r) { return CountOf(r.m_Messages, "Populated connection list") == 1; }));
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:(LAN:Connected:Lan:False:)(Mobile:Connected:Dialup:False:)");

    // Within the same second, the next change waits for the second's end.
    m_pService->RemoveConnection(nModem);
    m_Notifications.Fire(MibDeleteInstance);
    ASSERT_TRUE(m_Clock.WaitUntilAsleep());
    EXPECT_EQ(m_Recorder.Read(listings), nListings + 1);
    m_Clock.Advance(CConnectionsFollower::kRefreshEvery);
    ASSERT_TRUE(m_Recorder.WaitUntil(
        [&](CRecorder& r) { return r.m_ListingSizes.size() > nListings + 1; }));
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_ListingSizes.back(); }), 0u);
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_nNotices; }), 1) << "the start's";

    // A status change alone is followed by no refresh: the next one comes with the next
    // connection.
    m_Clock.Advance(CConnectionsFollower::kRefreshEvery);
    m_pService->SetStatus(nLan, NCS_DISCONNECTED);
    m_Notifications.Fire();
    m_pService->AddConnection(TestConnection(L"Mobile", NCM_PHONE));
    m_Notifications.Fire(MibAddInstance);
    ASSERT_TRUE(m_Recorder.WaitUntil(
        [&](CRecorder& r) { return r.m_ListingSizes.size() > nListings + 2; }));
    EXPECT_EQ(Row(0), "LAN|Lan|Disconnected|No");
    EXPECT_EQ(m_Recorder.Read(listings), nListings + 3);
}

// The shared connection's story, one entry each: it went down, it is back, it is gone, it came
// back under its adapter (a redial), and another dial-up connection came while it is gone.
TEST_F(ServerHostTest, theSharedConnectionsStoryIsToldAsItHappens)
{
    auto isp = TestConnection(L"My ISP", NCM_PHONE);
    isp.bSharingEnabled = true;
    int nIsp = m_pService->AddConnection(isp);
    isp.strGuid = m_pService->GetConnection(nIsp).strGuid;
    Open();
    const auto tells = [this](const std::function<void()>& change, const std::string& strEntry) {
        // Each step well after the one before: no refresh waits behind another, and no more than
        // five changes fall within a minute.
        m_Clock.Advance(std::chrono::seconds(12));
        const std::size_t nBefore = m_Recorder.Count();
        change();
        m_Notifications.Fire();
        EXPECT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
            return CountOf({r.m_Messages.begin() + nBefore, r.m_Messages.end()}, strEntry) == 1;
        })) << strEntry;
    };
    tells([&] { m_pService->SetStatus(nIsp, NCS_DISCONNECTED); },
          "My ISP went down: the LAN is without the Internet until it comes back");
    tells([&] { m_pService->SetStatus(nIsp, NCS_CONNECTED); }, "My ISP is back, and still shared");
    tells([&] { m_pService->RemoveConnection(nIsp); },
          "My ISP is gone: the LAN is without the Internet until it comes back");
    tells([&] { nIsp = m_pService->AddConnection(isp); }, "My ISP is back, and still shared");
    tells([&] { m_pService->RemoveConnection(nIsp); },
          "My ISP is gone: the LAN is without the Internet until it comes back");
    tells([&] { m_pService->AddConnection(TestConnection(L"Other ISP", NCM_PHONE)); },
          "A new dial-up connection, Other ISP, came while My ISP is gone: the LAN is without the "
          "Internet until one of them is shared");
    const std::vector<std::string> messages = m_Recorder.Messages();
    EXPECT_EQ(CountOf(messages, "My ISP is back, and still shared"), 2u);
}

// A connection that changes more than five times within a minute is not told change by change:
// what it did is said once the minute is over.
TEST_F(ServerHostTest, aConnectionThatKeepsChangingIsToldOnceAMinute)
{
    auto isp = TestConnection(L"My ISP", NCM_PHONE);
    isp.bSharingEnabled = true;
    const int nIsp = m_pService->AddConnection(isp);
    Open();
    const std::string strDown = "My ISP went down: the LAN is without the Internet until it comes "
                                "back";
    const std::string strBack = "My ISP is back, and still shared";
    for (std::size_t i = 0; i < CConnectionsFollower::kMaxChangesTold; ++i) {
        const bool bDown = i % 2 == 0;
        const std::size_t nBefore = m_Recorder.Count();
        m_pService->SetStatus(nIsp, bDown ? NCS_DISCONNECTED : NCS_CONNECTED);
        m_Notifications.Fire();
        ASSERT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
            return r.m_Messages.size() > nBefore &&
                   r.m_Messages.back() == (bDown ? strDown : strBack);
        }));
    }
    const std::size_t nTold = m_Recorder.Count();
    m_pService->SetStatus(nIsp, NCS_CONNECTED);
    m_Notifications.Fire();
    ASSERT_TRUE(m_Clock.WaitUntilAsleep()) << "the sixth change is held for the minute";
    EXPECT_EQ(m_Recorder.Count(), nTold);
    m_Clock.Advance(CConnectionsFollower::kChangesWindow);
    ASSERT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) { return r.m_Messages.size() > nTold; }));
    EXPECT_EQ(m_Recorder.Messages(nTold),
              std::vector<std::string>{"My ISP went down and came back again and again (6 "
                                       "changes within a minute): the LAN has the Internet now"});
}

TEST_F(ServerHostTest, comThatCannotBeInitialisedFailsWithTheFatalErrorToShow)
{
    // The test's thread is in the multithreaded apartment already; another thread in a
    // single-threaded one cannot join it.
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CServerHost host(CServerHost::SOptions{});
        std::string strFailure;
        EXPECT_FALSE(host.InitialiseCOM(strFailure));
        EXPECT_EQ(strFailure, "Failed to initialise COM!");
        EXPECT_FALSE(host.IsCOMInitialised());
        EXPECT_TRUE(host.Failed());
        host.Stop();
        EXPECT_TRUE(host.IsStopping());
        CoUninitialize();
    }).join();
}

// The program sets COM's security before anything else; security set before the host's own
// attempt is the process's, and the host starts with it.
TEST_F(ServerHostTest, comSecuritySetBeforeTheHostIsKept)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine's CoInitializeSecurity takes a second call as the first";
    // Security is the process's: set here unless an earlier case of this program set it.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    CTraceCapture capture;
    Open();
    EXPECT_NE(capture.Text().find("CTarnlowServerDlg::InitialiseCOM(): CoInitializeSecurity: "
                                  "RPC_E_TOO_LATE, the process's security is set already\n"),
              std::string::npos);
    EXPECT_TRUE(m_pHost->IsCOMInitialised());
    EXPECT_FALSE(m_pHost->Failed());
}

TEST_F(ServerHostTest, winsockThatCannotStartIsLoggedAndTheStartFails)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    m_pHost = std::make_unique<CServerHost>(CServerHost::SOptions{});
    m_pHost->Log().AddView(m_Recorder);
    std::string strFailure;
    ASSERT_TRUE(m_pHost->InitialiseCOM(strFailure));
    Winsock::OfferVersionForTests(MAKEWORD(1, 1));
    EXPECT_FALSE(m_pHost->Start(kServerPort));
    Winsock::OfferVersionForTests(0);
    const std::vector<std::string> messages = m_Recorder.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[2], "TCP/IP: Starting");
    EXPECT_EQ(messages[3], "TCP/IP: Failed");
    EXPECT_EQ(m_pHost->Listener(), nullptr) << "no listener, no thread";
    EXPECT_TRUE(m_pHost->Failed());
}
