// SPDX-License-Identifier: GPL-3.0-or-later
// Sharing beside the real firewalls of Debian (ufw, firewalld, iptables-nft, legacy iptables, and
// Docker's chains made with iptables), each set up as its users set it up, inside the gateway
// namespace with private copies of its configuration: the server names what stops the LAN's
// traffic and its clients, and the README's remedies, run word for word, let them through.
#include "GatewayNetnsTest_posix.h"

#include <cstdio>
#include <regex>

namespace
{

using namespace GatewayNetns;

const std::string kPortStopPrefix = "Clients cannot reach port 10000: the firewall's ";
const std::string kDropPrefix = "Shared traffic is dropped by the firewall's ";
const std::string kStillOut =
    "LAN traffic still goes out through gw-isp, masqueraded by the firewall's table inet firewalld";

std::string Output(const std::string& strCommand)
{
    std::string strOutput;
    FILE* pPipe = ::popen(strCommand.c_str(), "r");
    char cBuffer[4096];
    for (std::size_t n = 0;
         pPipe != nullptr && (n = std::fread(cBuffer, 1, sizeof(cBuffer), pPipe));)
        strOutput.append(cBuffer, n);
    if (pPipe != nullptr)
        ::pclose(pPipe);
    return strOutput;
}

// The machine's own rules and the firewalls' configuration, which no test may change.
std::string MachineFirewalls()
{
    return Output("{ nft list ruleset; cat /proc/net/ip_tables_names; find /etc/ufw "
                  "/etc/default/ufw /etc/firewalld -type f -exec md5sum {} +; } 2>&1 | md5sum");
}

// The README's commands for one firewall, block by block, for this gateway's interfaces.
std::vector<std::string> ReadmeRemedy(const std::string& strFirewall)
{
    std::istringstream lines(ReadFile(TARNLOW_README));
    std::vector<std::string> blocks;
    std::string strLine;
    bool bInItem = false;
    bool bInBlock = false;
    while (std::getline(lines, strLine)) {
        if (strLine.starts_with("- **"))
            bInItem = strLine.starts_with("- **" + strFirewall + "**");
        const bool bCommand = bInItem && strLine.starts_with("      sudo ");
        if (bCommand && !bInBlock)
            blocks.emplace_back();
        if (bCommand)
            blocks.back() += strLine.substr(std::string("      sudo ").size()) + "\n";
        bInBlock = bCommand;
    }
    for (std::string& strBlock : blocks) {
        strBlock = std::regex_replace(strBlock, std::regex("\\bLAN\\b"), kLanLink);
        strBlock = std::regex_replace(strBlock, std::regex("\\bUPLINK\\b"), kUplink);
    }
    return blocks;
}

class FirewallNetnsTest : public CGatewayNetnsTest
{
protected:
    static void SetUpTestSuite() { s_strMachineBefore = MachineFirewalls(); }

    static void TearDownTestSuite()
    {
        EXPECT_EQ(MachineFirewalls(), s_strMachineBefore)
            << "the machine's own firewall rules or configuration changed";
    }

    void SetUp() override
    {
        if (!CanMakeNamespaces())
            GTEST_SKIP() << "making the gateway, LAN and ISP namespaces needs root";
        for (const char* pszTool :
             {"ufw", "firewalld", "iptables", "iptables-legacy", "dbus-daemon"}) {
            if (!GatewayNetns::Run(std::string("command -v ") + pszTool + " >/dev/null"))
                GTEST_SKIP() << pszTool << " is not installed (scripts/install-deps installs it)";
        }
        char cDir[] = "/tmp/tarnlow-firewall-XXXXXX";
        ASSERT_NE(::mkdtemp(cDir), nullptr);
        m_strPrivate = cDir;
        ASSERT_TRUE(GatewayNetns::Run("cp -a /etc/ufw " + m_strPrivate +
                                      "/ufw && cp -a /etc/default/ufw " + m_strPrivate +
                                      "/default-ufw && cp -a /etc/firewalld " + m_strPrivate +
                                      "/firewalld && mkdir " + m_strPrivate + "/run"));
        ASSERT_TRUE(MakeNamespaces()) << "the namespaces could not be made";
        m_nIspListener = ListenAtIsp();
        ASSERT_GE(m_nIspListener, 0);
    }

    void TearDown() override
    {
        if (m_pServer)
            StopAndExpectCleanExit();
        m_pServer.reset();
        EndGatewayProcesses();
        if (m_nIspListener >= 0)
            ::close(m_nIspListener);
        RemoveNamespaces();
        if (!m_strPrivate.empty())
            GatewayNetns::Run("rm -rf " + m_strPrivate);
    }

    // Runs shell commands in the gateway, where the firewalls' configuration and /run are this
    // test's private copies.
    bool InGateway(const std::string& strCommands)
    {
        const std::string strMounts =
            "mount --bind " + m_strPrivate + "/ufw /etc/ufw && mount --bind " + m_strPrivate +
            "/default-ufw /etc/default/ufw && mount --bind " + m_strPrivate +
            "/firewalld /etc/firewalld && mount --bind " + m_strPrivate + "/run /run";
        const std::string strScript = strMounts + "\n" + strCommands;
        return GatewayNetns::Run("ip netns exec " + kGateway +
                                 " unshare -m --propagation private sh -ec '" +
                                 std::regex_replace(strScript, std::regex("'"), "'\\''") + "'");
    }

    // firewalld with a system bus of its own, both living on in the gateway after the command.
    void StartFirewalld()
    {
        ASSERT_TRUE(InGateway("mkdir -p /run/dbus\n"
                              "dbus-daemon --system --fork\n"
                              "firewalld --nofork --nopid --log-target console >/run/log 2>&1 &"));
        // firewalld takes its time to set up; it answers once its rules are in place.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!InGateway("firewall-cmd --state >/dev/null 2>&1"))
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "firewalld did not start";
    }

    // Ends what still runs in the gateway (firewalld and its bus) before the gateway goes; what
    // does not end on SIGTERM within ten seconds is killed.
    static void EndGatewayProcesses()
    {
        const std::string strPids = "$(ip netns pids " + kGateway + ")";
        GatewayNetns::Run("pids=" + strPids +
                          "; [ -z \"$pids\" ] || kill $pids\n"
                          "for i in $(seq 100); do [ -z \"" +
                          strPids +
                          "\" ] && exit 0; sleep 0.1; "
                          "done\nip netns pids " +
                          kGateway + " | xargs -r kill -9");
    }

    // The log entries that name a firewall in the way.
    static std::vector<std::string> Blockers(const std::vector<std::string>& messages)
    {
        std::vector<std::string> blockers;
        for (const std::string& strMessage : messages) {
            if (strMessage.starts_with(kDropPrefix) || strMessage.starts_with(kPortStopPrefix) ||
                strMessage.starts_with("LAN traffic still goes out"))
                blockers.push_back(strMessage);
        }
        return blockers;
    }

    bool LanReachesServer()
    {
        return Ask(m_strHost + ":" + ControlProtocol::kHello, kLan, 1000) != kNoConnection;
    }

    // With the firewall as its users set it up: the server names the table and chain that stop
    // the LAN and its clients at start and on sharing, and they are stopped indeed.
    void ExpectStopped(const std::string& strForwardPlace, const std::string& strPortPlace)
    {
        StartInGateway();
        std::vector<std::string> expected;
        if (!strPortPlace.empty())
            expected.push_back(kPortStopPrefix + strPortPlace + " stops them");
        EXPECT_EQ(Blockers(MessagesSince(0)), expected) << "at start";
        EXPECT_EQ(LanReachesServer(), strPortPlace.empty());

        // The gateway's own requests come over loopback, which every firewall here lets in.
        expected.insert(expected.begin(), kDropPrefix + strForwardPlace);
        EXPECT_EQ(Blockers(ChangeUplink(true, kGateway)), expected) << "on sharing";
        EXPECT_EQ(ReachIspFromLan(), "");
    }

    // After the README's remedy the sharing works, the clients get in, and nothing is named.
    void ExpectRemedied(const std::string& strRemedy)
    {
        ASSERT_FALSE(strRemedy.empty()) << "the README gives no remedy";
        // The commands as the README gives them; what they print is not the test's.
        ASSERT_TRUE(InGateway("exec >/dev/null\n" + strRemedy)) << strRemedy;
        EXPECT_EQ(Blockers(ChangeUplink(true, kGateway)), std::vector<std::string>{}) << strRemedy;
        EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
        EXPECT_TRUE(LanReachesServer());
    }

    void ExpectUnshareCloses()
    {
        EXPECT_EQ(Blockers(ChangeUplink(false)), std::vector<std::string>{});
        EXPECT_EQ(ReachIspFromLan(), "");
    }

    // iptables-nft's or legacy iptables' tables as a hand-made firewall has them.
    static std::string IptablesFirewall(const std::string& strIptables)
    {
        return strIptables + " -P INPUT DROP\n" + strIptables + " -P FORWARD DROP\n" + strIptables +
               " -A INPUT -i lo -j ACCEPT\n" + strIptables +
               " -A INPUT -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n" + strIptables +
               " -A FORWARD -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n";
    }

    static std::string s_strMachineBefore;
    std::string m_strPrivate;
};

std::string FirewallNetnsTest::s_strMachineBefore;

TEST_F(FirewallNetnsTest, UfwWithItsDefaultsIsNamedUntilTheReadmesRemedy)
{
    ASSERT_TRUE(InGateway("ufw --force enable >/dev/null"));
    ExpectStopped("table ip filter, chain FORWARD", "table ip filter, chain INPUT");
    ExpectRemedied(ReadmeRemedy("ufw").at(0));
    ExpectUnshareCloses();
}

// In the default zone nothing is forwarded; in zones with the README's policy the LAN gets out,
// and on a gateway that forwards by itself firewalld's own masquerading keeps it out after
// Unshare, until the README's second step.
TEST_F(FirewallNetnsTest, FirewalldInTheDefaultZoneIsNamedUntilTheReadmesRemedy)
{
    ASSERT_TRUE(InGateway("sysctl -qw net.ipv4.ip_forward=1"));
    StartFirewalld();
    ExpectStopped("table inet firewalld, chain filter_FWD_public",
                  "table inet firewalld, chain filter_IN_public");
    const std::vector<std::string> remedy = ReadmeRemedy("firewalld");
    ASSERT_EQ(remedy.size(), 2u);
    ExpectRemedied(remedy[0]);

    EXPECT_EQ(Blockers(ChangeUplink(false)), std::vector<std::string>{kStillOut});
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);

    ExpectRemedied(remedy[1]);
    ExpectUnshareCloses();
}

TEST_F(FirewallNetnsTest, IptablesNftIsNamedUntilTheReadmesRemedy)
{
    ASSERT_TRUE(InGateway(IptablesFirewall("iptables")));
    ExpectStopped("table ip filter, chain FORWARD", "table ip filter, chain INPUT");
    ExpectRemedied(ReadmeRemedy("iptables").at(0));
    ExpectUnshareCloses();
}

TEST_F(FirewallNetnsTest, LegacyIptablesIsNamedUntilTheReadmesRemedy)
{
    if (!InGateway("iptables-legacy -L >/dev/null 2>&1"))
        GTEST_SKIP() << "this kernel has no legacy iptables (ip_tables)";
    ASSERT_TRUE(InGateway(IptablesFirewall("iptables-legacy")));
    ExpectStopped("table iptables-legacy filter, chain FORWARD",
                  "table iptables-legacy filter, chain INPUT");
    ExpectRemedied(std::regex_replace(ReadmeRemedy("iptables").at(0), std::regex("iptables -"),
                                      "iptables-legacy -"));
    ExpectUnshareCloses();
}

// Docker's chains as Docker makes them around its bridge, with iptables-nft.
TEST_F(FirewallNetnsTest, DockersForwardChainIsNamedUntilTheReadmesRemedy)
{
    ASSERT_TRUE(InGateway("iptables -N DOCKER\n"
                          "iptables -N DOCKER-ISOLATION-STAGE-1\n"
                          "iptables -N DOCKER-ISOLATION-STAGE-2\n"
                          "iptables -N DOCKER-USER\n"
                          "iptables -P FORWARD DROP\n"
                          "iptables -A FORWARD -j DOCKER-USER\n"
                          "iptables -A FORWARD -j DOCKER-ISOLATION-STAGE-1\n"
                          "iptables -A FORWARD -o docker0 -m conntrack --ctstate "
                          "RELATED,ESTABLISHED -j ACCEPT\n"
                          "iptables -A FORWARD -o docker0 -j DOCKER\n"
                          "iptables -A FORWARD -i docker0 ! -o docker0 -j ACCEPT\n"
                          "iptables -A DOCKER-ISOLATION-STAGE-1 -i docker0 ! -o docker0 -j "
                          "DOCKER-ISOLATION-STAGE-2\n"
                          "iptables -A DOCKER-ISOLATION-STAGE-1 -j RETURN\n"
                          "iptables -A DOCKER-ISOLATION-STAGE-2 -o docker0 -j DROP\n"
                          "iptables -A DOCKER-ISOLATION-STAGE-2 -j RETURN\n"
                          "iptables -A DOCKER-USER -j RETURN\n"));
    ExpectStopped("table ip filter, chain FORWARD", "");
    ExpectRemedied(ReadmeRemedy("Docker").at(0));
    ExpectUnshareCloses();
}

} // namespace
