// SPDX-License-Identifier: GPL-3.0-or-later
// The server listens on the LAN's address, and follows it as it comes and goes: a veth pair made
// in the test's own network namespace stands for the LAN.
#include "HeldLan_posix.h"
#include "ServerProcessTest.h"

#include <cstdlib>

using ServerAddressTest = CServerProcessTest;

// The LAN's address comes after the start (a DHCP lease at boot), and goes again.
TEST_F(ServerAddressTest, theListenerFollowsTheLansAddress)
{
    Start();
    ASSERT_TRUE(m_pServer->WaitForLine("IP Address: 127.0.0.1", m_Patience));
    if (std::system("ip link add tl-lan type veth peer name tl-lan-peer") != 0)
        GTEST_SKIP() << "this namespace cannot make a veth pair";
    std::size_t nBefore = m_pServer->Lines().size();
    ASSERT_EQ(std::system("ip addr add 192.168.77.1/24 dev tl-lan && ip link set tl-lan up"), 0);
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
    EXPECT_EQ(MessagesSince(nBefore),
              (std::vector<std::string>{"The server's address is now 192.168.77.1",
                                        "Listening for clients",
                                        "The server's page is at http://192.168.77.1:10001/",
                                        "Waiting for a socket event"}));
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

// A new address that cannot be bound yet (here its port is held by another socket, bound there
// before the address came) leaves the server listening where it was; it tries again, and moves
// once it can.
TEST_F(ServerAddressTest, theListenerStaysWhereItListensUntilItCanMove)
{
    Start();
    ASSERT_TRUE(m_pServer->WaitForLine("IP Address: 127.0.0.1", m_Patience));
    CHeldLan lan(kServerPort);
    if (!lan.IsHeld())
        GTEST_SKIP() << "this namespace cannot make a veth pair";
    std::size_t nBefore = m_pServer->Lines().size();
    ASSERT_TRUE(lan.AddAddress());
    const std::string strCannot =
        "The server cannot listen at 192.168.77.1 yet, and listens at 127.0.0.1";
    ASSERT_TRUE(m_pServer->WaitForLine(strCannot, m_Patience, nBefore));
    EXPECT_EQ(MessagesSince(nBefore),
              (std::vector<std::string>{"The server's address is now 192.168.77.1", strCannot}));
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello") << "the old address is still answered";

    nBefore = m_pServer->Lines().size();
    lan.LetGo();
    ASSERT_TRUE(m_pServer->WaitForLine("IP Address: 192.168.77.1", m_Patience, nBefore));
    EXPECT_EQ(MessagesSince(nBefore)[0], "Listening for clients");
    EXPECT_EQ(Exchange("PC7:Hello", kServerPort, nullptr, "192.168.77.1"), m_strHost + ":Hello");
    EXPECT_EQ(ConnectLoopback(kServerPort), -1);
    StopAndExpectCleanExit();
}
