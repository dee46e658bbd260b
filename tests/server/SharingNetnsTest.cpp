// SPDX-License-Identifier: GPL-3.0-or-later
// Real sharing, end to end and over the protocol: the tests' copy of Tarnlow Server, over the
// machine's own sharing service, runs in a gateway namespace between a "LAN" namespace and an
// "ISP" namespace beyond its uplink. The test makes all three as root and removes them after;
// nothing it does touches the machine's own network.
#include "ControlProtocol.h"
#include "ServerProcessTest.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sched.h>
#include <thread>

namespace
{

using namespace ControlProtocol;

const std::string kSuffix = std::to_string(::getpid());
const std::string kGateway = "tl-gw-" + kSuffix;
const std::string kLan = "tl-lan-" + kSuffix;
const std::string kIsp = "tl-isp-" + kSuffix;
// The gateway's uplink, shown as dial-up through the tests' seam.
constexpr const char* kUplink = "gw-isp";
constexpr const char* kIspAddress = "10.77.2.2";
constexpr const char* kUplinkAddress = "10.77.2.1";
// The server listens on the first address of the gateway, its LAN side, as clients there reach it.
constexpr const char* kServerAddress = "10.77.1.1";
constexpr unsigned short kIspPort = 8080;

bool Run(const std::string& strCommand)
{
    return std::system(strCommand.c_str()) == 0;
}

bool MakeNamespaces()
{
    const std::string strGw = "ip -n " + kGateway + " ";
    return Run("ip netns add " + kGateway) && Run("ip netns add " + kLan) &&
           Run("ip netns add " + kIsp) &&
           Run(strGw + "link add name gw-lan type veth peer name lan0 netns " + kLan) &&
           Run(strGw + "link add name gw-isp type veth peer name isp0 netns " + kIsp) &&
           // A spare pair whose far end is down: one shows no carrier, the other is switched off.
           Run(strGw + "link add name gw-spare type veth peer name gw-spare-peer") &&
           Run(strGw + "addr add 10.77.1.1/24 dev gw-lan") &&
           Run(strGw + "addr add 10.77.2.1/24 dev gw-isp") && Run(strGw + "link set lo up") &&
           Run(strGw + "link set gw-lan up") && Run(strGw + "link set gw-isp up") &&
           Run(strGw + "link set gw-spare up") &&
           Run("ip -n " + kLan + " addr add 10.77.1.2/24 dev lan0") &&
           Run("ip -n " + kLan + " link set lan0 up") &&
           Run("ip -n " + kLan + " route add default via 10.77.1.1") &&
           // The ISP knows no way back to the LAN: only masquerading lets answers return.
           Run("ip -n " + kIsp + " addr add 10.77.2.2/24 dev isp0") &&
           Run("ip -n " + kIsp + " link set isp0 up");
}

void RemoveNamespaces()
{
    for (const std::string& strName : {kGateway, kLan, kIsp})
        Run("ip netns del " + strName + " 2>/dev/null");
}

// Moves the calling thread into the namespace; sockets it then makes belong there for good.
bool Enter(const std::string& strNamespace)
{
    const int nFd = ::open(("/run/netns/" + strNamespace).c_str(), O_RDONLY | O_CLOEXEC);
    const bool bEntered = nFd >= 0 && ::setns(nFd, CLONE_NEWNET) == 0;
    if (nFd >= 0)
        ::close(nFd);
    return bEntered;
}

int TcpSocketIn(const std::string& strNamespace)
{
    int s = -1;
    std::thread([&] {
        if (Enter(strNamespace))
            s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    }).join();
    return s;
}

sockaddr_in AddressOf(const char* pszAddress, unsigned short nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    ::inet_pton(AF_INET, pszAddress, &address.sin_addr);
    return address;
}

bool WaitFor(int s, short nEvents, int nTimeoutMs)
{
    pollfd pfd{s, nEvents, 0};
    return ::poll(&pfd, 1, nTimeoutMs) == 1;
}

// A TCP connection made from the namespace; -1 when it is not made within the time.
int ConnectFrom(const std::string& strNamespace, const char* pszAddress, unsigned short nPort,
                int nTimeoutMs)
{
    const int s = TcpSocketIn(strNamespace);
    const sockaddr_in address = AddressOf(pszAddress, nPort);
    ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    int nError = -1;
    socklen_t nLength = sizeof(nError);
    if (WaitFor(s, POLLOUT, nTimeoutMs))
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &nError, &nLength);
    if (nError == 0)
        return s;
    ::close(s);
    return -1;
}

class SharingNetnsTest : public CServerProcessTest
{
protected:
    static void SetUpTestSuite()
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "making the gateway, LAN and ISP namespaces needs root";
        ASSERT_TRUE(MakeNamespaces()) << "the namespaces could not be made";
        s_nIspListener = TcpSocketIn(kIsp);
        const sockaddr_in address = AddressOf(kIspAddress, kIspPort);
        ASSERT_EQ(
            ::bind(s_nIspListener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)),
            0);
        ASSERT_EQ(::listen(s_nIspListener, 8), 0);
        ::setenv("TARNLOW_TEST_DIALUP", kUplink, 1);
    }

    static void TearDownTestSuite()
    {
        if (s_nIspListener >= 0)
            ::close(s_nIspListener);
        RemoveNamespaces();
    }

    void SetUp() override { StartInGateway(); }
    void TearDown() override
    {
        const int nUplink = IndexOf(kUplink);
        if (nUplink >= 0)
            Ask(m_strHost + ":" + UnshareCommand(nUplink));
    }

    // The server is started from a thread in the gateway, so that it runs there.
    void StartInGateway()
    {
        std::thread([this] {
            ASSERT_TRUE(Enter(kGateway));
            Start();
        }).join();
        ASSERT_TRUE(m_pServer);
    }

    // One request from the LAN, as a client there makes it; waits until the server waits again.
    std::string Ask(const std::string& strRequest)
    {
        const std::size_t nBefore = m_pServer->Lines().size();
        const int s = ConnectFrom(kLan, kServerAddress, kServerPort, 5000);
        if (s < 0)
            return "(no connection)";
        ::send(s, strRequest.data(), strRequest.size(), MSG_NOSIGNAL);
        const std::string strReply = ReadUntilClosed(s);
        ::close(s);
        EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
        return strReply;
    }

    std::vector<SConnectionEntry> List()
    {
        std::vector<SConnectionEntry> entries;
        EXPECT_TRUE(ReadConnectionListReply(Ask(m_strHost + ":" + kConnectionList), entries));
        return entries;
    }

    int IndexOf(const std::string& strName)
    {
        const std::vector<SConnectionEntry> entries = List();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].strName == strName)
                return static_cast<int>(i);
        }
        return -1;
    }

    // Opens a TCP connection from the LAN to the ISP; gives the address that the ISP saw it come
    // from, or "" when it did not get through within a second.
    static std::string ReachIspFromLan()
    {
        const int s = ConnectFrom(kLan, kIspAddress, kIspPort, 1000);
        std::string strSource;
        if (s >= 0 && WaitFor(s_nIspListener, POLLIN, 1000)) {
            sockaddr_in peer{};
            socklen_t nPeerLength = sizeof(peer);
            const int nAccepted =
                ::accept(s_nIspListener, reinterpret_cast<sockaddr*>(&peer), &nPeerLength);
            char cText[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &peer.sin_addr, cText, sizeof(cText));
            strSource = cText;
            ::close(nAccepted);
        }
        if (s >= 0)
            ::close(s);
        return strSource;
    }

    // Shares the uplink and gives the log entries that the request made.
    std::vector<std::string> ShareUplink()
    {
        const int nUplink = IndexOf(kUplink);
        const std::size_t nBefore = m_pServer->Lines().size();
        EXPECT_EQ(Ask(m_strHost + ":" + ShareCommand(nUplink)), m_strHost + ":" + kOkay);
        return MessagesSince(nBefore);
    }

    static int s_nIspListener;
};

const std::string kOtherFirewall = "ip netns exec " + kGateway + " nft ";
const std::string kDropEntry =
    "Shared traffic is dropped by the firewall's table inet other, chain forward";

bool HasEntry(const std::vector<std::string>& messages, const std::string& strEntry)
{
    return std::find(messages.begin(), messages.end(), strEntry) != messages.end();
}

int SharingNetnsTest::s_nIspListener = -1;

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
                  .find("CLinuxSharingService::EnableSharing(): forwarded traffic is dropped by "
                        "table inet other, chain forward\n"),
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
