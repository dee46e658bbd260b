// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real tarnlow-server inside a private loopback-only network namespace, alone there,
// so it listens on its default port 10000.
#include "ServerProcessTest.h"

#include <algorithm>
#include <cstdlib>

using namespace std::chrono_literals;

using ServerEndToEndTest = CServerProcessTest;

TEST_F(ServerEndToEndTest, startsInOrderAndAnswersAGreeting)
{
    Start();
    EXPECT_EQ(Messages(m_pServer->Lines()),
              (std::vector<std::string>{"Program started", "Populated connection list",
                                        "TCP/IP: Starting", "TCP/IP: Started",
                                        "Listening for clients", "Waiting for a socket event"}));
    EXPECT_TRUE(m_pServer->WaitForLine("IP Address: 127.0.0.1", 1s));
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
    EXPECT_EQ(Request("PC7:Share:1"), m_strHost + ":Okay");
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:True:)");
    EXPECT_EQ(Request("PC7:Share:0"), m_strHost + ":Failed");
    EXPECT_EQ(Request("PC7:Unshare:1"), m_strHost + ":Okay");
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:False:)");
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, silentOrVanishingClientsAreDroppedAndServiceGoesOn)
{
    Start();
    const int nSilent = ConnectLoopback(kServerPort);
    ASSERT_GE(nSilent, 0);
    EXPECT_TRUE(m_pServer->WaitForLine("Communication with client garbled", 10s));
    EXPECT_EQ(ReadUntilClosed(nSilent), "");
    ::close(nSilent);
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");

    const std::size_t nBefore = m_pServer->Lines().size();
    ::close(ConnectLoopback(kServerPort));
    EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", 10s, nBefore + 1));
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, portInUseIsReportedAndTheHeadlessServerExitsWithOne)
{
    const int nBlocker = ::socket(AF_INET, SOCK_STREAM, 0);
    const int nReuse = 1;
    ::setsockopt(nBlocker, SOL_SOCKET, SO_REUSEADDR, &nReuse, sizeof nReuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(nBlocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(nBlocker, 1), 0);
    m_pServer = std::make_unique<CProcessRunner>(TARNLOW_SERVER_PATH, m_strStderrPath);
    EXPECT_TRUE(m_pServer->WaitForLine("Failed to start listening for clients", 10s));
    EXPECT_NE(ReadFile(m_strStderrPath)
                  .find("bind() failed with error: 10048\nServer Thread is exiting\n"),
              std::string::npos);
    // No one sees the window: the server ends, for its service manager to start it again.
    const int nStatus = m_pServer->WaitForExit(10s);
    ::close(nBlocker);
    ASSERT_NE(nStatus, -1) << "the server did not end within 10 seconds";
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) << "status " << nStatus;
    EXPECT_EQ(Messages(m_pServer->Lines()).back(), "Failed to start listening for clients");
}

// The LAN's address comes after the start (a DHCP lease at boot), and goes again.
TEST_F(ServerEndToEndTest, theListenerFollowsTheLansAddress)
{
    Start();
    ASSERT_TRUE(m_pServer->WaitForLine("IP Address: 127.0.0.1", 1s));
    if (std::system("ip link add tl-lan type veth peer name tl-lan-peer") != 0)
        GTEST_SKIP() << "this namespace cannot make a veth pair";
    std::size_t nBefore = m_pServer->Lines().size();
    ASSERT_EQ(std::system("ip addr add 192.168.77.1/24 dev tl-lan && ip link set tl-lan up"), 0);
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
    EXPECT_EQ(MessagesSince(nBefore),
              (std::vector<std::string>{"The server's address is now 192.168.77.1",
                                        "Listening for clients", "Waiting for a socket event"}));
    EXPECT_TRUE(m_pServer->WaitForLine("IP Address: 192.168.77.1", m_Patience, nBefore));
    EXPECT_EQ(ConnectLoopback(kServerPort), -1);
    nBefore = m_pServer->Lines().size();
    EXPECT_EQ(Exchange("PC7:Hello", kServerPort, nullptr, "192.168.77.1"), m_strHost + ":Hello");
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));

    nBefore = m_pServer->Lines().size();
    ASSERT_EQ(std::system("ip link del tl-lan"), 0);
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
    EXPECT_EQ(MessagesSince(nBefore)[0], "The server's address is now 127.0.0.1");
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    StopAndExpectCleanExit();
}

TEST_F(ServerEndToEndTest, terminationWhileServingAClientClosesCleanly)
{
    Start();
    const int nClient = ConnectLoopback(kServerPort);
    ASSERT_GE(nClient, 0);
    ASSERT_TRUE(m_pServer->WaitForLine("Accepted a connection from 127.0.0.1", 10s));
    ::send(nClient, "PC7:ConnectionList", 18, MSG_NOSIGNAL);
    StopAndExpectCleanExit();
    ::close(nClient);
    const std::string strTrace = ReadFile(m_strStderrPath);
    EXPECT_NE(strTrace.find("CTarnlowServerDlg::ServerThread(): Finish\n"), std::string::npos);
}

// Under systemd the journal tells log entries (failures as warnings) from traces.
TEST_F(ServerEndToEndTest, inTheJournalEachLineCarriesItsPriority)
{
    m_pServer = std::make_unique<CProcessRunner>(TARNLOW_SERVER_PATH, m_strStderrPath,
                                                 CProcessRunner::EStreams::Journal);
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience));
    const int nSilent = ConnectLoopback(kServerPort);
    ASSERT_TRUE(m_pServer->WaitForLine("Communication with client garbled", m_Patience));
    ::close(nSilent);
    m_pServer->Signal(SIGTERM);
    EXPECT_EQ(m_pServer->WaitForExit(10s), 0);
    std::vector<std::string> entries;
    std::vector<std::string> warnings;
    std::vector<std::string> traces;
    for (const std::string& strLine : m_pServer->Lines()) {
        ASSERT_GE(strLine.size(), 3u);
        const std::string strPriority = strLine.substr(0, 3);
        ASSERT_TRUE(strPriority == "<4>" || strPriority == "<6>" || strPriority == "<7>")
            << strLine;
        (strPriority == "<4>"   ? warnings
         : strPriority == "<6>" ? entries
                                : traces)
            .push_back(strLine.substr(3));
    }
    EXPECT_EQ(Messages(entries).front(), "Program started");
    EXPECT_EQ(Messages(entries).size(), entries.size() - 1) << "the entries and one address";
    EXPECT_NE(std::find(entries.begin(), entries.end(), "IP Address: 127.0.0.1"), entries.end());
    EXPECT_EQ(Messages(warnings), std::vector<std::string>{"Communication with client garbled"});
    EXPECT_EQ(Messages(traces), std::vector<std::string>{});
    EXPECT_NE(std::find(traces.begin(), traces.end(), "CTarnlowServerDlg::CleanClose()"),
              traces.end());
}
