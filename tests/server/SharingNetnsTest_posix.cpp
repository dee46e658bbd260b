// SPDX-License-Identifier: GPL-3.0-or-later
// Real sharing through the gateway: the list of its interfaces, sharing and unsharing the uplink,
// a restart, a sharing kept against other programs, an uplink that goes and comes back or is
// renamed, the MSS through a narrow uplink, a host beyond the uplink kept away, and a hand-written
// table of another firewall in the way.
#include "GatewayNetnsTest_posix.h"

#include <map>
#include <netinet/tcp.h>
#include <regex>

namespace
{

using namespace ControlProtocol;
using namespace GatewayNetns;

class SharingNetnsTest : public CGatewaySuiteTest
{
protected:
    void TearDown() override
    {
        const int nUplink = IndexOf(kUplink);
        if (nUplink >= 0)
            Ask(m_strHost + ":" + UnshareCommand(nUplink));
    }

    std::vector<std::string> ShareUplink() { return ChangeUplink(true); }

    // Asks for the list until it shows the connection (each answer takes the server's pause),
    // for at most the patience; its index, or -1.
    int WaitUntilListed(const std::string& strName)
    {
        const auto giveUp = std::chrono::steady_clock::now() + m_Patience;
        int nIndex = -1;
        while ((nIndex = IndexOf(strName)) < 0 && std::chrono::steady_clock::now() < giveUp) {
        }
        return nIndex;
    }

    // Runs a command in the gateway, and waits for the entry that it makes.
    void Tells(const std::string& strCommands, const std::string& strEntry)
    {
        const std::size_t nBefore = m_pServer->Lines().size();
        EXPECT_TRUE(::Run(strCommands)) << strCommands;
        EXPECT_TRUE(m_pServer->WaitForLine(strEntry, m_Patience, nBefore)) << strEntry;
    }
};

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

// Another program's flush of the rule set, an emptied or deleted table and forwarding switched off
// are put right at once: the log says so without waiting for a client, and the LAN gets out again.
// The fifth undoing within the window is not fought, and the list shows the truth.
TEST_F(SharingNetnsTest, ASharingUndoneByAnotherProgramIsRestoredAtOnceUntilItKeepsBeingUndone)
{
    ShareUplink();
    const auto undo = [this](const std::string& strCommand, const std::string& strEntry) {
        const std::size_t nBefore = m_pServer->Lines().size();
        EXPECT_TRUE(::Run("ip netns exec " + kGateway + " " + strCommand));
        EXPECT_TRUE(m_pServer->WaitForLine(strEntry, m_Patience, nBefore)) << strCommand;
    };
    const std::string strRestored = "The sharing of gw-isp was undone by nft, and is restored";
    for (const char* pszCommand :
         {"nft flush ruleset", "nft flush table ip tarnlow", "nft delete table ip tarnlow"}) {
        undo(pszCommand, strRestored);
        EXPECT_EQ(ReachIspFromLan(), kUplinkAddress) << pszCommand;
    }
    undo("sysctl -qw net.ipv4.ip_forward=0",
         "IPv4 forwarding was switched off, and is switched on again for the sharing of gw-isp");
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);

    undo("nft flush ruleset", "The sharing of gw-isp was undone 5 times within a minute by nft, "
                              "and is no longer restored");
    EXPECT_EQ(ReachIspFromLan(), "");
    EXPECT_FALSE(List()[IndexOf(kUplink)].bShared);
    // A client's Unshare still reaches the service, which puts forwarding back as it was before.
    EXPECT_EQ(InGateway("cat /proc/sys/net/ipv4/ip_forward"), "1");
    EXPECT_EQ(Ask(m_strHost + ":" + UnshareCommand(IndexOf(kUplink))), m_strHost + ":" + kOkay);
    EXPECT_EQ(InGateway("cat /proc/sys/net/ipv4/ip_forward"), "0");
}

const std::string kGw = "ip -n " + kGateway + " ";

// The uplink goes down and up, and vanishes and comes back under its name (a redial): it is the
// same connection, shared and connected again, the LAN gets out again, and the Log tells each step.
TEST_F(SharingNetnsTest, AnUplinkThatGoesAndComesBackIsTheSameConnectionAndItsStoryIsTold)
{
    ShareUplink();
    const std::string strBack = "gw-isp is back, and still shared";
    Tells(kGw + "link set gw-isp down",
          "gw-isp went down: the LAN is without the Internet until it comes back");
    Tells(kGw + "link set gw-isp up", strBack);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    Tells(kGw + "link del gw-isp",
          "gw-isp is gone: the LAN is without the Internet until it comes back");
    EXPECT_EQ(ReachIspFromLan(), "");
    const std::size_t nBefore = m_pServer->Lines().size();
    ASSERT_TRUE(MakeUplink(kUplink));
    EXPECT_TRUE(m_pServer->WaitForLine(strBack, m_Patience, nBefore));
    const int nUplink = WaitUntilListed(kUplink);
    ASSERT_GE(nUplink, 0);
    const SConnectionEntry uplink = List()[nUplink];
    EXPECT_EQ(uplink.strStatus, "Connected");
    EXPECT_TRUE(uplink.bShared);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
}

// The uplink renamed (the same link, as udev or a modem's driver renames it) is followed: the
// table takes the new name, the LAN gets out, and the Log says so.
TEST_F(SharingNetnsTest, ARenamedUplinkIsFollowed)
{
    ShareUplink();
    const auto rename = [](const char* pszFrom, const char* pszTo) {
        return kGw + "link set " + pszFrom + " down && " + kGw + "link set " + pszFrom + " name " +
               pszTo + " && " + kGw + "link set " + pszTo + " up";
    };
    // Down first, as the server may read the link at any step of a rename.
    Tells(kGw + "link set gw-isp down",
          "gw-isp went down: the LAN is without the Internet until it comes back");
    Tells(kGw + "link set gw-isp name gw-isp2 && " + kGw + "link set gw-isp2 up",
          "gw-isp is now gw-isp2, the same device, and is still shared");
    EXPECT_TRUE(m_pServer->WaitForLine("gw-isp2 is back, and still shared", m_Patience));
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    const int nRenamed = WaitUntilListed("gw-isp2");
    ASSERT_GE(nRenamed, 0);
    EXPECT_TRUE(List()[nRenamed].bShared);
    Tells(rename("gw-isp2", "gw-isp"),
          "gw-isp2 is now gw-isp, the same device, and is still shared");
}

// A new link under another name is another device: the Log says that the shared connection is
// gone and names the new one, which is in the list without any Share. (A test of its own, as the
// renames' changes would make the uplink one that changes too often.)
TEST_F(SharingNetnsTest, ANewLinkUnderAnotherNameIsToldAndNotFollowed)
{
    ShareUplink();
    Tells(kGw + "link del gw-isp",
          "gw-isp is gone: the LAN is without the Internet until it comes back");
    const std::size_t nBefore = m_pServer->Lines().size();
    ASSERT_TRUE(MakeUplink("gw-new"));
    EXPECT_TRUE(m_pServer->WaitForLine("A new dial-up connection, gw-new, came while gw-isp is "
                                       "gone: the LAN is without the Internet until one of them "
                                       "is shared",
                                       m_Patience, nBefore));
    EXPECT_GE(WaitUntilListed("gw-new"), 0) << "in the list without any Share";
    EXPECT_EQ(ReachIspFromLan(), "");
    // The suite's uplink, as it was.
    EXPECT_TRUE(::Run(kGw + "link del gw-new"));
    EXPECT_TRUE(MakeUplink(kUplink));
}

// Behind a narrow uplink (PPP, a mobile link) the far side sends segments that fit it, whether or
// not path MTU discovery works beyond the gateway.
TEST_F(SharingNetnsTest, ConnectionsThroughANarrowUplinkHaveTheirMssClampedToItsMtu)
{
    ASSERT_TRUE(::Run("ip -n " + kGateway + " link set gw-isp mtu 1400"));
    ShareUplink();
    const int s = ConnectFrom(kLan, kIspAddress, kIspPort, 5000);
    ASSERT_GE(s, 0);
    ASSERT_TRUE(WaitFor(m_nIspListener, POLLIN, 5000));
    const int nFarSide = ::accept(m_nIspListener, nullptr, nullptr);
    int nMss = 0;
    socklen_t nLength = sizeof nMss;
    EXPECT_EQ(::getsockopt(nFarSide, IPPROTO_TCP, TCP_MAXSEG, &nMss, &nLength), 0);
    EXPECT_GT(nMss, 0);
    EXPECT_LE(nMss, 1360) << "1400 less the IPv4 and TCP headers";
    ::close(nFarSide);
    ::close(s);
    ::Run("ip -n " + kGateway + " link set gw-isp mtu 1500");
}

// A host takes a packet for any of its addresses on any interface: a host beyond the uplink with a
// route to the LAN reaches the server's LAN address, but gets nothing, and is named once; the LAN
// is answered.
TEST_F(SharingNetnsTest, AHostBeyondTheUplinkGetsNoReplyAndIsNamedOnce)
{
    const std::string strRoute = "ip -n " + kIsp + " route add 10.77.1.0/24 via " + kUplinkAddress;
    ASSERT_TRUE(::Run(strRoute));
    const std::string strRefused =
        "Refused a client at 10.77.2.2, beyond the dial-up connection gw-isp";
    const std::string strHello = m_strHost + ":" + kHello;
    for (int i = 0; i < 2; ++i) {
        const int s = ConnectFrom(kIsp, kServerAddress, kServerPort, 5000);
        EXPECT_GE(s, 0) << "the gateway takes the connection at the LAN's address";
        ::send(s, strHello.data(), strHello.size(), MSG_NOSIGNAL);
        EXPECT_EQ(ReadUntilClosed(s), "");
        ::close(s);
    }
    EXPECT_TRUE(m_pServer->WaitForLine(strRefused, m_Patience));
    EXPECT_EQ(Ask(strHello), strHello);
    std::vector<std::string> messages = MessagesSince(0);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), strRefused), 1);

    // The page's port gives it nothing either, and names it once of its own.
    const std::string strGet =
        "GET / HTTP/1.1\r\nHost: 10.77.1.1:10001\r\nConnection: close\r\n\r\n";
    const std::size_t nBefore = m_pServer->Lines().size();
    for (const std::string& strFrom : {kIsp, kLan}) {
        const int s = ConnectFrom(strFrom, kServerAddress, 10001, 5000);
        ASSERT_GE(s, 0);
        ::send(s, strGet.data(), strGet.size(), MSG_NOSIGNAL);
        const std::string strAnswer = ReadUntilClosed(s);
        ::close(s);
        EXPECT_EQ(strAnswer.substr(0, 15), strFrom == kIsp ? "" : "HTTP/1.1 200 OK") << strFrom;
    }
    EXPECT_TRUE(m_pServer->WaitForLine(strRefused, m_Patience, nBefore));
    ::Run(std::regex_replace(strRoute, std::regex(" add "), " del "));
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
