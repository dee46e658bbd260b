// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real server alone in a private loopback-only network namespace, so it listens on its
// default port 10000: the same scenarios on Linux (headless, stopped by SIGTERM) and on Windows
// (with its window, closed by WM_CLOSE).
#include "ServerProcessTest.h"
#include "TestPlatform.h"

#include <algorithm>

using namespace std::chrono_literals;

using ServerEndToEndTest = CServerProcessTest;

TEST_F(ServerEndToEndTest, startsInOrderAndAnswersAGreeting)
{
    Start();
    EXPECT_EQ(
        Messages(m_pServer->Lines()),
        (std::vector<std::string>{"Program started", "Populated connection list",
                                  "TCP/IP: Starting", "TCP/IP: Started", "Listening for clients",
                                  "The server's page is at http://127.0.0.1:10001/",
                                  "Waiting for a socket event"}));
    const std::size_t nBefore = m_pServer->Lines().size();
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    EXPECT_EQ(MessagesSince(nBefore),
              (std::vector<std::string>{
                  "Socket accept request received", "Accepted a connection from 127.0.0.1",
                  "Message Received: PC7:Hello", "Replied with: " + m_strHost + ":Hello",
                  "Waiting for a socket event"}));
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, shareAndUnshareChangeTheNextConnectionList)
{
    Start();
    const std::string strLan = "(Local Area Connection:Connected:Lan:False:)";
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:False:)");
    std::size_t nBefore = m_pServer->Lines().size();
    EXPECT_EQ(Request("PC7:Share:1"), m_strHost + ":Okay");
    // Windows' sharing needs a private side: the LAN's connection becomes it, and only there.
    const auto logged = [&](const std::string& strEntry) {
        const std::vector<std::string> entries = MessagesSince(nBefore);
        return std::find(entries.begin(), entries.end(), strEntry) != entries.end();
    };
    EXPECT_EQ(logged("Local Area Connection becomes the LAN side, and Windows gives it a new "
                     "address"),
              !kOwnPlatformLayer);
    EXPECT_EQ(logged("Sharing with the LAN through Local Area Connection"), !kOwnPlatformLayer);
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:True:)");
    EXPECT_EQ(Request("PC7:Share:0"), m_strHost + ":Failed");
    nBefore = m_pServer->Lines().size();
    EXPECT_EQ(Request("PC7:Unshare:1"), m_strHost + ":Okay");
    EXPECT_EQ(logged("No longer sharing with the LAN through Local Area Connection"),
              !kOwnPlatformLayer);
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:False:)");
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, silentVanishingAndHostileClientsAreDroppedAndServiceGoesOn)
{
    Start();
    TestSocket hSilent = ConnectLoopback(kServerPort);
    ASSERT_NE(hSilent, kNoTestSocket);
    EXPECT_TRUE(m_pServer->WaitForLine("Communication with client garbled", m_Patience));
    EXPECT_EQ(ReadUntilClosed(hSilent), "");
    CloseTestSocket(hSilent);
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");

    const std::size_t nBefore = m_pServer->Lines().size();
    TestSocket hVanishing = ConnectLoopback(kServerPort);
    CloseTestSocket(hVanishing);
    EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore + 1));
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");

    // Far more than a request may hold, without a colon, then an index out of range.
    Request(std::string(64 * 1024, 'A'));
    EXPECT_EQ(Request("PC7:Share:99999999999"), m_strHost + ":Failed");
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, closingWhileServingAClientStillEndsCleanly)
{
    Start();
    TestSocket hClient = ConnectLoopback(kServerPort);
    ASSERT_NE(hClient, kNoTestSocket);
    ASSERT_TRUE(m_pServer->WaitForLine("Accepted a connection from 127.0.0.1", m_Patience));
    SendAll(hClient, "PC7:ConnectionList");
    StopAndExpectCleanExit();
    CloseTestSocket(hClient);
    if (const std::optional<std::string> strTrace = m_pServer->Trace()) {
        EXPECT_NE(strTrace->find("CTarnlowServerDlg::ServerThread(): Finish\n"), std::string::npos);
    }
}

// The port is the first server's alone: a second one fails to listen, and the first answers on.
TEST_F(ServerEndToEndTest, aSecondServerCannotTakeThePort)
{
    Start();
    CServerProcess second(TARNLOW_SERVER_PATH, m_strStderrPath + ".second");
    EXPECT_TRUE(second.WaitForLine("Failed to start listening for clients", m_Patience));
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    // Headless it ends by itself; with a window it waits to be closed.
    second.RequestClose();
    EXPECT_TRUE(second.ExitCode(std::chrono::seconds(10)));
    StopAndExpectCleanExit();
}
