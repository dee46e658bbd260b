// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real tarnlow-client.exe against the Linux tarnlow-server in the same loopback-only
// namespace: the address is set to 127.0.0.1 before any Connect, and the client's log is read
// from its standard output.
#include "LogLines.h"
#include "LoopbackClient.h"
#include "WindowsProcess.h"

#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace
{

constexpr int IDC_SERVER_IP_ADDRESS = 1001;
constexpr int IDC_CONNECT = 1004;
constexpr int IDC_CONNECTION_LIST = 1005;
constexpr WPARAM ID_SHARE_THIS_CONNECTION = 32771;
constexpr WPARAM ID_DISABLE_THIS_SHARE = 32772;

// A control of the window or of one of its pages, by id.
HWND FindControl(HWND hWindow, int nId)
{
    std::pair<int, HWND> find{nId, nullptr};
    ::EnumChildWindows(
        hWindow,
        [](HWND hChild, LPARAM lParam) -> BOOL {
            auto* pFind = reinterpret_cast<std::pair<int, HWND>*>(lParam);
            if (::GetDlgCtrlID(hChild) != pFind->first)
                return TRUE;
            pFind->second = hChild;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.second;
}

class WindowsClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pClient = std::make_unique<CWindowsProcess>(TARNLOW_CLIENT_PATH);
        ASSERT_TRUE(m_pClient->IsRunning());
        m_hWnd = m_pClient->FindWindow("Kestle", 20s);
        ASSERT_NE(m_hWnd, nullptr);
        const HWND hAddress = FindControl(m_hWnd, IDC_SERVER_IP_ADDRESS);
        ASSERT_NE(hAddress, nullptr);
        ::SendMessageA(hAddress, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("127.0.0.1"));
    }

    // Presses Connect and waits for the list's reply; the messages it logged.
    std::vector<std::string> Connect()
    {
        const std::size_t nBefore = m_pClient->Lines().size();
        ::PostMessageA(FindControl(m_hWnd, IDC_CONNECT), BM_CLICK, 0, 0);
        EXPECT_TRUE(m_pClient->WaitForLine(":2:(", 10s, nBefore));
        return Messages(m_pClient->Lines(), nBefore);
    }

    // Marks the row with the keyboard, then gives the command as its context menu would.
    std::vector<std::string> Choose(int nRow, WPARAM nCommand)
    {
        const HWND hList = FindControl(m_hWnd, IDC_CONNECTION_LIST);
        ::PostMessageA(hList, WM_KEYDOWN, VK_HOME, 0);
        for (int i = 0; i < nRow; ++i)
            ::PostMessageA(hList, WM_KEYDOWN, VK_DOWN, 0);
        const std::size_t nBefore = m_pClient->Lines().size();
        ::PostMessageA(m_hWnd, WM_COMMAND, nCommand, 0);
        // The command's exchange, then Connect's two.
        EXPECT_TRUE(m_pClient->WaitForLine(":2:(", 10s, nBefore));
        return Messages(m_pClient->Lines(), nBefore);
    }

    void TearDown() override
    {
        if (m_hWnd != nullptr)
            ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        if (m_pClient != nullptr) {
            EXPECT_EQ(m_pClient->WaitForExit(10s), 0u);
        }
    }

    const std::string m_strHost = HostName();
    std::unique_ptr<CWindowsProcess> m_pClient;
    HWND m_hWnd = nullptr;
};

} // namespace

TEST_F(WindowsClientTest, connectLogsItsSixEntriesInOrder)
{
    const std::string strLan = "(Local Area Connection:Connected:Lan:False:)";
    EXPECT_EQ(Connect(),
              (std::vector<std::string>{
                  "Success connecting to Verrow", m_strHost + ":Hello sent to Verrow",
                  m_strHost + ":Hello received from Verrow", "Success connecting to Verrow",
                  m_strHost + ":ConnectionList sent to Verrow",
                  m_strHost + ":2:" + strLan +
                      "(My ISP:Disconnected:Dialup:False:) received from Verrow"}));
}

TEST_F(WindowsClientTest, shareAndUnshareTheDialupConnection)
{
    Connect();
    const std::vector<std::string> shared = Choose(1, ID_SHARE_THIS_CONNECTION);
    ASSERT_GE(shared.size(), 3u);
    EXPECT_EQ(shared[1], m_strHost + ":Share:1 sent to Verrow");
    EXPECT_EQ(shared[2], m_strHost + ":Okay received from Verrow");
    EXPECT_NE(shared.back().find("(My ISP:Disconnected:Dialup:True:)"), std::string::npos);
    const std::vector<std::string> unshared = Choose(1, ID_DISABLE_THIS_SHARE);
    ASSERT_GE(unshared.size(), 3u);
    EXPECT_EQ(unshared[1], m_strHost + ":Unshare:1 sent to Verrow");
    EXPECT_NE(unshared.back().find("(My ISP:Disconnected:Dialup:False:)"), std::string::npos);
}
