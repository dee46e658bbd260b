// SPDX-License-Identifier: GPL-3.0-or-later
// Whom the listener answers: the routing table's way back to a client, the adapter it leaves by,
// and whether that is a dial-up connection's; run in a loopback-only network namespace.
#include "ClientRule.h"

#include "AdapterGuid.h"
#include "LoopbackClient.h"
#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "SharingServiceDoubles.h"
#include "TestPlatform.h"
#include "TraceCapture.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace
{

sockaddr_in Address(const char* pszAddress)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = Winsock::inet_addr(pszAddress);
    return address;
}

class ClientRuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
        WSADATA data{};
        ASSERT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), &data), 0);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_pService = CMemorySharingService::Create();
        m_pRegistration = std::make_unique<CRegisteredService>(m_pService);
        ASSERT_EQ(m_pRegistration->Result(), S_OK);
    }

    void TearDown() override
    {
        if (!m_pRegistration)
            return;
        m_Connections.With([](CMyNetConnection& manager) { manager.ReleaseService(); });
        m_pRegistration.reset();
        CoUninitialize();
        Winsock::WSACleanup();
    }

    // A connection of the given type whose adapter has the GUID given.
    int AddConnection(const wchar_t* pszName, NETCON_MEDIATYPE type, const std::string& strGuid)
    {
        auto connection = TestConnection(pszName, type);
        connection.strGuid.assign(strGuid.begin(), strGuid.end());
        const int nId = m_pService->AddConnection(connection);
        m_Connections.With([](CMyNetConnection& manager) { return manager.QueryConnections(); });
        return nId;
    }

    std::string UplinkTowards(const char* pszLocal, const char* pszClient)
    {
        return CClientRule::UplinkTowards(Address(pszLocal), Address(pszClient), m_Connections);
    }

    std::shared_ptr<CMemorySharingService> m_pService;
    std::unique_ptr<CRegisteredService> m_pRegistration;
    CSharedConnections m_Connections;
};

// Loopback's adapter stands in for an uplink: a client whose replies leave through a dial-up
// connection's adapter is beyond it; through a LAN's, or an adapter of no connection, it is not.
TEST_F(ClientRuleTest, AClientIsBeyondTheDialupConnectionWhoseAdapterItsRepliesLeaveBy)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine has no GetBestRoute2";
    const std::string strLoopback = AdapterGuidOf("127.0.0.1");
    ASSERT_FALSE(strLoopback.empty());
    EXPECT_EQ(CClientRule::RouteAdapter(Address("127.0.0.1"), Address("127.0.0.1")), strLoopback);
    AddConnection(L"Local Area Connection", NCM_LAN, "{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(UplinkTowards("127.0.0.1", "127.0.0.1"), "") << "no connection has the adapter";

    const int nLan = AddConnection(L"Loopback LAN", NCM_LAN, strLoopback);
    EXPECT_EQ(UplinkTowards("127.0.0.1", "127.0.0.1"), "");
    m_pService->RemoveConnection(nLan);
    AddConnection(L"My ISP", NCM_PHONE, strLoopback);
    EXPECT_EQ(UplinkTowards("127.0.0.1", "127.0.0.1"), "My ISP");
}

// The rule must never lock the LAN out: a route that cannot be had answers the client.
TEST_F(ClientRuleTest, AClientWithoutARouteBackIsAnswered)
{
    AddConnection(L"My ISP", NCM_PHONE, AdapterGuidOf("127.0.0.1"));
    CTraceCapture trace;
    EXPECT_EQ(UplinkTowards("127.0.0.1", "192.0.2.9"), "");
    EXPECT_NE(trace.Text().find("CClientRule::RouteAdapter(): no route to 192.0.2.9: error "),
              std::string::npos);
}

// The way back is the kernel's choice for the reply, from the address the client reached: a rule
// that routes by source sends it out by another adapter than the main table would.
TEST_F(ClientRuleTest, TheWayBackFollowsPolicyRoutingBySource)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the namespace's routing is Linux's";
    ASSERT_EQ(
        std::system("ip link add tl-lan type veth peer name tl-lan-peer &&"
                    " ip link add tl-up type veth peer name tl-up-peer &&"
                    " ip addr add 198.51.100.1/24 dev tl-lan &&"
                    " ip addr add 203.0.113.1/24 dev tl-up &&"
                    " for i in tl-lan tl-lan-peer tl-up tl-up-peer; do ip link set $i up; done &&"
                    " ip route add 192.0.2.0/24 dev tl-lan &&"
                    " ip route add 192.0.2.0/24 dev tl-up table 100 &&"
                    " ip rule add from 203.0.113.1 lookup 100"),
        0);
    AddConnection(L"Uplink", NCM_PHONE, AdapterGuidOf("203.0.113.1"));
    AddConnection(L"LAN", NCM_LAN, AdapterGuidOf("198.51.100.1"));
    EXPECT_EQ(UplinkTowards("198.51.100.1", "192.0.2.9"), "");
    EXPECT_EQ(UplinkTowards("203.0.113.1", "192.0.2.9"), "Uplink");
    std::system("ip rule del from 203.0.113.1 lookup 100; ip link del tl-lan; ip link del tl-up");
}

// A scan from many addresses can neither flood the log nor fill the memory.
TEST(ClientRuleNamingTest, AClientKeptAwayIsNamedOnceAMinutePerAddressForABoundedNumber)
{
    CClientRule rule;
    const auto start = CClientRule::Clock::now();
    EXPECT_TRUE(rule.IsToBeNamed("192.0.2.1", start));
    EXPECT_FALSE(rule.IsToBeNamed("192.0.2.1", start + std::chrono::seconds(59)));
    EXPECT_TRUE(rule.IsToBeNamed("192.0.2.2", start + std::chrono::seconds(59)));
    EXPECT_TRUE(rule.IsToBeNamed("192.0.2.1", start + CClientRule::kNameEvery));

    for (std::size_t i = 2; i < CClientRule::kMaxNamed; ++i)
        EXPECT_TRUE(rule.IsToBeNamed("scan-" + std::to_string(i), start + CClientRule::kNameEvery));
    EXPECT_FALSE(rule.IsToBeNamed("one too many", start + CClientRule::kNameEvery));
    // Those named a minute ago make room again.
    EXPECT_TRUE(rule.IsToBeNamed("one too many", start + 2 * CClientRule::kNameEvery));
}

} // namespace
