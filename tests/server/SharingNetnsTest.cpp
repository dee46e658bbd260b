// SPDX-License-Identifier: GPL-3.0-or-later
// Real sharing through the gateway: the list of its interfaces, sharing and unsharing the uplink,
// a restart, and a hand-written table of another firewall in the way.
#include "GatewayNetnsTest.h"

#include <map>

namespace
{

using namespace ControlProtocol;
using namespace GatewayNetns;

class SharingNetnsTest : public CGatewayNetnsTest
{
protected:
    static void SetUpTestSuite()
    {
        if (!CanMakeNamespaces())
            GTEST_SKIP() << "making the gateway, LAN and ISP namespaces needs root";
        ASSERT_TRUE(MakeNamespaces()) << "the namespaces could not be made";
        s_nIspListener = ListenAtIsp();
        ASSERT_GE(s_nIspListener, 0);
    }

    static void TearDownTestSuite()
    {
        if (s_nIspListener >= 0)
            ::close(s_nIspListener);
        RemoveNamespaces();
    }

    void SetUp() override
    {
        m_nIspListener = s_nIspListener;
        StartInGateway();
    }

    void TearDown() override
    {
        const int nUplink = IndexOf(kUplink);
        if (nUplink >= 0)
            Ask(m_strHost + ":" + UnshareCommand(nUplink));
    }

    std::vector<std::string> ShareUplink() { return ChangeUplink(true); }

    static int s_nIspListener;
};

int SharingNetnsTest::s_nIspListener = -1;

const std::string kOtherFirewall = "ip netns exec " + kGateway + " nft ";
const std::string kDropEntry =
    "Shared traffic is dropped by the firewall's table inet other, chain forward";

TEST_F(SharingNetnsTest, TheListShowsTheGatewaysInterfacesAndTheirStatus)
{
    const std::vector<SConnectionEntry> entries = List();
    ASSERT_EQ(entries.size(), 4u);
    std::map<std::string, SConnectionEntry> byName;
    for (const SConnectionEntry& entry : entries)
        byName[entry.strName] = entry;
    EXPECT_EQ(byName["gw-lan"].strStatus, "Connected");
    EXPECT_EQ(byName["gw-lan"].strType, "Lan");
    EXPECT_EQ(byName[kUplink].strStatus, "Connected");
    EXPECT_EQ(byName[kUplink].strType, "Dialup");
    EXPECT_FALSE(byName[kUplink].bShared);
    EXPECT_EQ(byName["gw-spare"].strStatus, "Media disconnected");
    EXPECT_EQ(byName["gw-spare-peer"].strStatus, "Disconnected");
}

TEST_F(SharingNetnsTest, ShareOpensTheWayOutThroughTheUplinkAndUnshareClosesIt)
{
    EXPECT_EQ(ReachIspFromLan(), "") << "the LAN reached the ISP before any sharing";
    const int nUplink = IndexOf(kUplink);
    ASSERT_GE(nUplink, 0);

    EXPECT_EQ(Ask(m_strHost + ":" + ShareCommand(nUplink)), m_strHost + ":" + kOkay);
    EXPECT_TRUE(List()[nUplink].bShared);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);

    EXPECT_EQ(Ask(m_strHost + ":" + UnshareCommand(nUplink)), m_strHost + ":" + kOkay);
    EXPECT_FALSE(List()[nUplink].bShared);
    EXPECT_EQ(ReachIspFromLan(), "");
}

TEST_F(SharingNetnsTest, ARestartedServerShowsTheSharingThatTheKernelHolds)
{
    const int nUplink = IndexOf(kUplink);
    ASSERT_GE(nUplink, 0);
    ASSERT_EQ(Ask(m_strHost + ":" + ShareCommand(nUplink)), m_strHost + ":" + kOkay);
    StopAndExpectCleanExit();

    StartInGateway();
    EXPECT_TRUE(List()[nUplink].bShared);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
}

TEST_F(SharingNetnsTest, OnlyTheDialupConnectionCanBeShared)
{
    const int nLan = IndexOf("gw-lan");
    ASSERT_GE(nLan, 0);
    EXPECT_EQ(Ask(m_strHost + ":" + ShareCommand(nLan)), m_strHost + ":" + kFailed);
    EXPECT_FALSE(List()[nLan].bShared);
    EXPECT_EQ(ReachIspFromLan(), "");
}

} // namespace

// Another table whose forward chain drops everything makes any sharing of ours useless: the
// server says so, naming that chain, and answers as the system was asked. Once that chain lets
// the LAN through, the sharing works and nothing is said; our table never touches the other.
TEST_F(SharingNetnsTest, AnotherFirewallThatDropsForwardedTrafficIsNamedInTheLog)
{
    EXPECT_FALSE(HasEntry(ShareUplink(), kDropEntry)) << "no other firewall yet";
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    TearDown();

    ASSERT_TRUE(::Run(kOtherFirewall + "add table inet other"));
    ASSERT_TRUE(::Run(kOtherFirewall + "'add chain inet other forward { type filter hook forward "
                                       "priority filter; policy drop; }'"));
    EXPECT_TRUE(HasEntry(ShareUplink(), kDropEntry));
    EXPECT_NE(ReadFile(m_strStderrPath)
                  .find("CLinuxSharingService::EnableSharing(): Shared traffic is dropped by the "
                        "firewall's table inet other, chain forward\n"),
              std::string::npos);
    EXPECT_EQ(ReachIspFromLan(), "");
    TearDown();

    ASSERT_TRUE(::Run(kOtherFirewall + "add rule inet other forward iifname gw-lan accept"));
    ASSERT_TRUE(::Run(kOtherFirewall + "add rule inet other forward ct state established accept"));
    EXPECT_FALSE(HasEntry(ShareUplink(), kDropEntry));
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    TearDown();
    EXPECT_TRUE(::Run(kOtherFirewall + "list chain inet other forward | grep -q 'policy drop'"));
    EXPECT_TRUE(::Run(kOtherFirewall + "list chain inet other forward | grep -q 'iifname'"));
    ::Run(kOtherFirewall + "delete table inet other");
}
