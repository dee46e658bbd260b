// SPDX-License-Identifier: GPL-3.0-or-later
// The server's window as a view of the server's host: what the host reports on its pages, the
// boxes, the keys and the system menu. Run inside a private loopback-only network namespace where
// the host's listener has port 10000 to itself.
#include "ControlProtocol.h"
#include "LoopbackClient.h"
#include "MemorySharingService.h"
#include "MessageBox.h"
#include "RegisteredService.h"
#include "ServerResources.h"
#include "SharingServiceDoubles.h"
#include "TarnlowServerDlg.h"
#include "TestPlatform.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"
#include "server/resource.h"

#include <future>
#include <gtest/gtest.h>

namespace
{

constexpr unsigned short kServerPort = 10000;

// The host as the windowed program makes it: its close keeps the window's thread serving.
std::unique_ptr<CServerHost> NewHost()
{
    CServerHost::SOptions options;
    options.WaitForThread = WaitForSingleObjectPumping;
    return std::make_unique<CServerHost>(std::move(options));
}
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
        m_pHost.reset();
        SetMessageBoxHook(nullptr);
        m_pRegistration.reset();
        CoUninitialize();
        CResources::SetCurrent(nullptr);
    }

    void Open()
    {
        m_pHost = NewHost();
        m_pDlg = std::make_unique<CTarnlowServerDlg>(*m_pHost);
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
    std::unique_ptr<CServerHost> m_pHost;
    std::unique_ptr<CTarnlowServerDlg> m_pDlg;
    const std::string m_strHost = HostName();
};

} // namespace

TEST_F(ServerWindowTest, opensOnTheLogPageShowingWhatTheHostReports)
{
    m_pService->AddConnection(TestConnection(L"LAN 1", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED));
    Open();
    EXPECT_EQ(m_pDlg->GetWindowText(), "Verrow");
    EXPECT_EQ(m_pDlg->m_tabCtrl.m_nCurrentPage, 2);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Program started", "Populated connection list", "TCP/IP: Starting",
                              "TCP/IP: Started", "Listening for clients",
                              "The server's page is at http://127.0.0.1:10001/",
                              "Waiting for a socket event"}));
    EXPECT_EQ(Row(0), "LAN 1|Lan|Connected|No");
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|No");
    EXPECT_EQ(ControlText(m_pDlg->m_pConnectionsPage->GetDlgItem(IDC_IP_ADDRESS)), "127.0.0.1");
    // What the listener's thread reports reaches the pages on the window's thread, in its order.
    std::vector<std::string> logged;
    EXPECT_EQ(Request("PC7:Share:1", &logged), m_strHost + ":Okay");
    EXPECT_EQ(logged.back(), "Populated connection list");
    EXPECT_EQ(Row(1), "My ISP|Dialup|Disconnected|Yes");
    ClickButton(m_pDlg->m_pConnectionsPage->GetDlgItem(IDC_REFRESH));
    EXPECT_EQ(LastMessage(), "Populated connection list");
    EXPECT_EQ(m_pDlg->m_pConnectionsPage->m_ConnectionList.GetItemCount(), 2);
    EXPECT_TRUE(m_Boxes.empty());
}

TEST_F(ServerWindowTest, withoutDialupTheNoticeNeverHoldsTheListener)
{
    m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    Open();
    EXPECT_EQ(m_Boxes, std::vector<std::string>{
                           "Information: There are no Dial-up connections on this machine"});
    EXPECT_EQ(m_pDlg->m_pConnectionsPage->m_ConnectionList.GetItemCount(), 0);
    // The notice raised by a request is shown later, after the reply has gone.
    EXPECT_EQ(Request("PC7:Share:0"), m_strHost + ":Failed");
    EXPECT_TRUE(WaitFor([&] { return m_Boxes.size() == 2; }));
    EXPECT_EQ(Request("PC7:ConnectionList"), m_strHost + ":1:(LAN:Connected:Lan:False:)");
    // Refresh asks again, and the list stays empty.
    ClickButton(m_pDlg->m_pConnectionsPage->GetDlgItem(IDC_REFRESH));
    EXPECT_EQ(m_Boxes.size(), 3u);
    EXPECT_EQ(m_pDlg->m_pConnectionsPage->m_ConnectionList.GetItemCount(), 0);
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
std::vector<std::string> OpenFailingServer(CServerHost& host,
                                           std::unique_ptr<CTarnlowServerDlg>& pDlg)
{
    std::vector<std::string> boxes;
    SetMessageBoxHook([&](const SMessageBox& box) {
        boxes.push_back(box.strCaption + ": " + box.strText);
        return IDOK;
    });
    CResources::SetCurrent(&ServerResources());
    pDlg = std::make_unique<CTarnlowServerDlg>(host);
    pDlg->Create(CTarnlowServerDlg::IDD);
    SetMessageBoxHook(nullptr);
    return boxes;
}

} // namespace

TEST(ServerStartFailureTest, comThatCannotBeInitialisedIsABoxAndTheWindowCloses)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    const std::unique_ptr<CServerHost> pHost = NewHost();
    std::unique_ptr<CTarnlowServerDlg> pDlg;
    EXPECT_EQ(OpenFailingServer(*pHost, pDlg),
              std::vector<std::string>{"Fatal error: Failed to initialise COM!"});
    EXPECT_FALSE(pHost->IsCOMInitialised());
    EXPECT_FALSE(pDlg->IsWindowVisible());
    EXPECT_TRUE(pDlg->IsClosing());
    EXPECT_TRUE(pHost->Failed());
    pDlg.reset();
    CoUninitialize();
    CResources::SetCurrent(nullptr);
}

TEST(ServerStartFailureTest, aStartThatFailsClosesTheWindowWithItsEntries)
{
    if (!OnlyLoopback())
        GTEST_SKIP() << kNotLoopbackOnly;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    auto registration =
        std::make_unique<CRegisteredService>(CMemorySharingService::CreateWithDefaultConnections());
    const std::unique_ptr<CServerHost> pHost = NewHost();
    Winsock::OfferVersionForTests(MAKEWORD(1, 1));
    std::unique_ptr<CTarnlowServerDlg> pDlg;
    EXPECT_TRUE(OpenFailingServer(*pHost, pDlg).empty());
    Winsock::OfferVersionForTests(0);
    CListCtrl& log = pDlg->m_pLogPage->m_LogList;
    ASSERT_EQ(log.GetItemCount(), 4);
    EXPECT_EQ(log.GetItemText(3, 1), "TCP/IP: Failed");
    EXPECT_FALSE(pDlg->IsWindowVisible());
    EXPECT_TRUE(pDlg->IsClosing());
    pDlg.reset();
    registration.reset();
    CoUninitialize();
    CResources::SetCurrent(nullptr);
}
