// SPDX-License-Identifier: GPL-3.0-or-later
// The walk through other firewalls' rules: on rule sets recorded from Debian's ufw, firewalld,
// iptables-nft and Docker's chains, and on small rule sets for what those do not show (undecided
// matches, jumps and gotos, verdict maps, sets, priorities, other families, xtables data).
#include "FirewallCheck.h"
#include "FirewallMatches.h"
#include "FirewallRecording.h"
#include "XtMatches.h"

#include <gtest/gtest.h>
#include <linux/netfilter/xt_conntrack.h>
#include <linux/netfilter/xt_state.h>
#include <linux/netfilter/xt_tcpudp.h>

namespace
{

using json = nlohmann::json;
using Strings = std::vector<std::string>;

// The recordings' gateway: gw-lan 10.77.1.1/24, and the uplink gw-isp 10.77.2.1/24.
const CFirewallCheck::SInterface kLan{"gw-lan", 2, 0x0a4d0101, {0x0a4d0100, 0x0a4d01ff}};
const CFirewallCheck::SInterface kUplink{"gw-isp", 3, 0x0a4d0201, {0x0a4d0200, 0x0a4d02ff}};
constexpr int kPort = 10000;

struct SFindings {
    Strings Shared;
    Strings AfterUnshare;
    Strings ClientPort;
};

SFindings Check(const CFirewallRuleset& ruleset)
{
    return {CFirewallCheck::SharedTraffic(ruleset, {kLan}, kUplink),
            CFirewallCheck::TrafficAfterUnshare(ruleset, {kLan}, kUplink),
            CFirewallCheck::ClientPort(ruleset, {kLan}, kPort)};
}

SFindings CheckRecorded(const std::string& strName)
{
    CFirewallRuleset ruleset;
    EXPECT_TRUE(FirewallRecording::Load(
        std::string(TARNLOW_FIREWALLS_DIR) + "/" + strName + ".json", ruleset))
        << strName;
    return Check(ruleset);
}

std::string Dropped(const std::string& strPlace)
{
    return "Shared traffic is dropped by the firewall's " + strPlace;
}

std::string PortClosed(const std::string& strPlace)
{
    return "Clients cannot reach port 10000: the firewall's " + strPlace + " stops them";
}

TEST(FirewallWalkTest, RecordedFirewallsWithTheirDefaultsAreNamedWhereTheyStopTheLan)
{
    const SFindings ufw = CheckRecorded("ufw");
    EXPECT_EQ(ufw.Shared, Strings{Dropped("table ip filter, chain FORWARD")});
    EXPECT_EQ(ufw.ClientPort, Strings{PortClosed("table ip filter, chain INPUT")});

    const SFindings firewalld = CheckRecorded("firewalld");
    EXPECT_EQ(firewalld.Shared, Strings{Dropped("table inet firewalld, chain filter_FWD_public")});
    EXPECT_EQ(firewalld.ClientPort,
              Strings{PortClosed("table inet firewalld, chain filter_IN_public")});

    // Zones alone do not forward from one to another.
    const SFindings zones = CheckRecorded("firewalld-zones");
    EXPECT_EQ(zones.Shared, Strings{Dropped("table inet firewalld, chain filter_FWD_internal")});
    EXPECT_EQ(zones.ClientPort,
              Strings{PortClosed("table inet firewalld, chain filter_IN_internal")});
    EXPECT_TRUE(zones.AfterUnshare.empty()) << "what is dropped does not go out";

    const SFindings iptables = CheckRecorded("iptables-nft");
    EXPECT_EQ(iptables.Shared, Strings{Dropped("table ip filter, chain FORWARD")});
    EXPECT_EQ(iptables.ClientPort, Strings{PortClosed("table ip filter, chain INPUT")});

    // Docker leaves the input alone, and masquerades only its own bridge's network.
    const SFindings docker = CheckRecorded("docker");
    EXPECT_EQ(docker.Shared, Strings{Dropped("table ip filter, chain FORWARD")});
    EXPECT_TRUE(docker.ClientPort.empty());
    EXPECT_TRUE(docker.AfterUnshare.empty());
}

TEST(FirewallWalkTest, FirewalldWithTheReadmesPolicyPassesButMasqueradesByItself)
{
    const SFindings policy = CheckRecorded("firewalld-policy");
    EXPECT_TRUE(policy.Shared.empty());
    EXPECT_TRUE(policy.ClientPort.empty());
    EXPECT_EQ(policy.AfterUnshare,
              Strings{"LAN traffic still goes out through gw-isp, masqueraded by the firewall's "
                      "table inet firewalld"});
}

// Small rule sets in libnftables' JSON.
json Table(const std::string& strFamily, const std::string& strName)
{
    return {{"table", {{"family", strFamily}, {"name", strName}}}};
}

json Chain(const std::string& strTable, const std::string& strName, const std::string& strHook,
           int nPriority, const std::string& strPolicy, const std::string& strType = "filter")
{
    const auto nSpace = strTable.find(' ');
    json chain = {{"family", strTable.substr(0, nSpace)},
                  {"table", strTable.substr(nSpace + 1)},
                  {"name", strName}};
    if (!strHook.empty())
        chain.update(
            {{"type", strType}, {"hook", strHook}, {"prio", nPriority}, {"policy", strPolicy}});
    return {{"chain", chain}};
}

json Rule(const std::string& strTable, const std::string& strChain, json expressions)
{
    const auto nSpace = strTable.find(' ');
    return {{"rule",
             {{"family", strTable.substr(0, nSpace)},
              {"table", strTable.substr(nSpace + 1)},
              {"chain", strChain},
              {"handle", 1},
              {"expr", std::move(expressions)}}}};
}

json Match(json left, json right, const std::string& strOperator = "==")
{
    return {
        {"match", {{"op", strOperator}, {"left", std::move(left)}, {"right", std::move(right)}}}};
}

json Meta(const std::string& strKey)
{
    return {{"meta", {{"key", strKey}}}};
}

json Payload(const std::string& strProtocol, const std::string& strField)
{
    return {{"payload", {{"protocol", strProtocol}, {"field", strField}}}};
}

json Verdict(const std::string& strVerdict, const std::string& strTarget = "")
{
    if (strTarget.empty())
        return {{strVerdict, nullptr}};
    return {{strVerdict, {{"target", strTarget}}}};
}

const json kEstablished =
    Match({{"ct", {{"key", "state"}}}}, {{"set", {"established", "related"}}});

// A rule set of one inet table "t" whose forward chain drops, with the rules given.
SFindings CheckForward(const std::vector<json>& rules, const std::vector<json>& extra = {})
{
    json listing = {Table("inet", "t"), Chain("inet t", "forward", "forward", 0, "drop")};
    for (const json& rule : rules)
        listing.push_back(rule);
    for (const json& object : extra)
        listing.push_back(object);
    CFirewallRuleset ruleset;
    EXPECT_TRUE(
        CNftFirewallReader::Parse(json{{"nftables", listing}}.dump(), {}, "ip tarnlow", ruleset));
    return Check(ruleset);
}

const Strings kForwardDropped{Dropped("table inet t, chain forward")};

TEST(FirewallWalkTest, AMatchThatCannotBeDecidedMayMatchSoNothingIsNamedForAGuess)
{
    // The LAN's connections may go anywhere, and a mark is not known: either may let them out.
    EXPECT_TRUE(
        CheckForward({Rule("inet t", "forward",
                           {Match(Payload("ip", "daddr"), "203.0.113.0/24"), Verdict("accept")}),
                      Rule("inet t", "forward", {Match(Meta("mark"), 1), Verdict("accept")}),
                      Rule("inet t", "forward", {kEstablished, Verdict("accept")})})
            .Shared.empty());
    // A drop that may not match leaves the rest to decide, and a rate limit may not match either.
    EXPECT_EQ(CheckForward(
                  {Rule("inet t", "forward",
                        {Match(Payload("ip", "daddr"), "203.0.113.0/24"), Verdict("drop")}),
                   Rule("inet t", "forward", {{{"limit", {{"rate", 3}}}}, Verdict("drop")}),
                   Rule("inet t", "forward", {Match(Meta("iifname"), "gw-lan"), Verdict("accept")}),
                   Rule("inet t", "forward", {kEstablished, Verdict("accept")})})
                  .Shared,
              Strings{});
    // What is decided is decided: IPv6, another protocol, other interfaces, another state.
    EXPECT_EQ(CheckForward(
                  {Rule("inet t", "forward",
                        {Match(Payload("ip6", "saddr"), "fe80::/10"), Verdict("accept")}),
                   Rule("inet t", "forward", {Match(Meta("l4proto"), "udp"), Verdict("accept")}),
                   Rule("inet t", "forward", {Match(Meta("iifname"), "eth*"), Verdict("accept")}),
                   Rule("inet t", "forward",
                        {Match(Payload("ip", "saddr"), "192.168.0.0/16"), Verdict("accept")}),
                   Rule("inet t", "forward",
                        {Match({{"ct", {{"key", "state"}}}}, "invalid", "!="),
                         Match(Meta("oifname"), "gw-lan"), Verdict("accept")})})
                  .Shared,
              kForwardDropped);
}

TEST(FirewallWalkTest, JumpsComeBackGotosDoNotAndVerdictMapsAndSetsAreFollowed)
{
    const json lanChain = Chain("inet t", "lan", "", 0, "");
    // A jump that returns goes on to the policy; one whose chain accepts lets the LAN through.
    EXPECT_EQ(CheckForward({Rule("inet t", "forward", {Verdict("jump", "lan")})},
                           {lanChain, Rule("inet t", "lan", {Verdict("return")})})
                  .Shared,
              kForwardDropped);
    EXPECT_TRUE(
        CheckForward({Rule("inet t", "forward", {Verdict("jump", "lan")})},
                     {lanChain,
                      Rule("inet t", "lan", {Match(Meta("iifname"), "gw-lan"), Verdict("accept")}),
                      Rule("inet t", "lan", {kEstablished, Verdict("accept")})})
            .Shared.empty());
    // After a goto the chain's end returns past the rest of the base chain, to its policy.
    EXPECT_EQ(CheckForward({Rule("inet t", "forward", {Verdict("goto", "lan")}),
                            Rule("inet t", "forward", {Verdict("accept")})},
                           {lanChain})
                  .Shared,
              kForwardDropped);
    // Chains that jump to each other end the walk without a word.
    EXPECT_TRUE(CheckForward({Rule("inet t", "forward", {Verdict("jump", "lan")})},
                             {lanChain, Rule("inet t", "lan", {Verdict("jump", "lan")})})
                    .Shared.empty());

    const json verdictMap = {
        {"vmap",
         {{"key", Meta("iifname")},
          {"data",
           {{"set", json::array({json::array({"gw-lan", Verdict("accept")}),
                                 json::array({"gw-isp", Verdict("jump", "lan")})})}}}}}};
    EXPECT_EQ(CheckForward({Rule("inet t", "forward", {verdictMap})},
                           {lanChain, Rule("inet t", "lan", {kEstablished, Verdict("accept")})})
                  .Shared,
              Strings{});
    const auto withSet = [](const std::string& strPrefix) {
        return CheckForward({Rule("inet t", "forward",
                                  {Match(Payload("ip", "saddr"), "@lans"), Verdict("accept")}),
                             Rule("inet t", "forward", {kEstablished, Verdict("accept")})},
                            {{{"set",
                               {{"family", "inet"},
                                {"table", "t"},
                                {"name", "lans"},
                                {"elem", {{{"prefix", {{"addr", strPrefix}, {"len", 16}}}}}}}}}})
            .Shared;
    };
    EXPECT_EQ(withSet("10.77.0.0"), Strings{});
    EXPECT_EQ(withSet("192.168.0.0"), kForwardDropped);
}

TEST(FirewallWalkTest, OnlyOtherIpv4TablesCountAndTheFirstStopByPriorityIsNamed)
{
    const json listing = {
        Table("ip6", "six"),
        Chain("ip6 six", "fwd", "forward", -50, "drop"),
        Table("ip", "tarnlow"),
        Chain("ip tarnlow", "forward", "forward", -40, "drop"),
        Table("bridge", "br"),
        Chain("bridge br", "fwd", "forward", -30, "drop"),
        Table("inet", "late"),
        Chain("inet late", "fwd", "forward", 10, "drop"),
        Table("ip", "early"),
        Chain("ip early", "fwd", "forward", -10, "drop"),
        Table("ip", "nat"),
        Chain("ip nat", "post", "postrouting", 100, "accept", "nat"),
        Rule("ip nat", "post", {Match(Meta("oifname"), "gw-isp"), Verdict("masquerade")})};
    CFirewallRuleset ruleset;
    ASSERT_TRUE(
        CNftFirewallReader::Parse(json{{"nftables", listing}}.dump(), {}, "ip tarnlow", ruleset));
    const SFindings findings = Check(ruleset);
    EXPECT_EQ(findings.Shared, Strings{Dropped("table ip early, chain fwd")});
    // Dropped traffic does not go out, however it would be masqueraded.
    EXPECT_TRUE(findings.AfterUnshare.empty());
    EXPECT_FALSE(CNftFirewallReader::Parse("not JSON", {}, "ip tarnlow", ruleset));
    EXPECT_FALSE(CNftFirewallReader::Parse("{\"nftables\": 3}", {}, "ip tarnlow", ruleset));
}

// The xtables matches of iptables-nft and legacy iptables, from the kernel's binary form.
TEST(FirewallWalkTest, XtablesConntrackAndTcpMatchesAreDecidedFromTheirData)
{
    SFirewallPacket first;
    first.nDestinationPort = kPort;
    SFirewallPacket reply;
    reply.bNew = false;
    reply.bSourceNatted = true;

    xt_conntrack_mtinfo3 conntrack{};
    conntrack.match_flags = XT_CONNTRACK_STATE;
    conntrack.state_mask =
        XT_CONNTRACK_STATE_BIT(IP_CT_ESTABLISHED) | XT_CONNTRACK_STATE_BIT(IP_CT_RELATED);
    const FirewallMatch established =
        XtMatches::Match("conntrack", 3, &conntrack, sizeof(conntrack));
    EXPECT_EQ(established(first), ETruth::No);
    EXPECT_EQ(established(reply), ETruth::Yes);
    conntrack.invert_flags = XT_CONNTRACK_STATE;
    EXPECT_EQ(XtMatches::Match("conntrack", 3, &conntrack, sizeof(conntrack))(first), ETruth::Yes);
    // The state match's own bit for untracked is conntrack's for source-NATed.
    xt_state_info state{XT_STATE_UNTRACKED};
    EXPECT_EQ(XtMatches::Match("state", 0, &state, sizeof(state))(reply), ETruth::No);
    state.statemask = XT_STATE_BIT(IP_CT_NEW);
    EXPECT_EQ(XtMatches::Match("state", 0, &state, sizeof(state))(first), ETruth::Yes);
    // Data cut short, or a match not known here, may match.
    EXPECT_EQ(XtMatches::Match("conntrack", 3, &conntrack, 8)(first), ETruth::Maybe);
    EXPECT_EQ(XtMatches::Match("hashlimit", 1, nullptr, 0)(first), ETruth::Maybe);

    xt_tcp tcp{};
    tcp.spts[1] = 65535;
    tcp.dpts[0] = tcp.dpts[1] = kPort;
    EXPECT_EQ(XtMatches::Match("tcp", 0, &tcp, sizeof(tcp))(first), ETruth::Yes);
    tcp.dpts[0] = tcp.dpts[1] = 22;
    EXPECT_EQ(XtMatches::Match("tcp", 0, &tcp, sizeof(tcp))(first), ETruth::No);
    EXPECT_EQ(XtMatches::Match("udp", 0, &tcp, sizeof(xt_udp))(first), ETruth::No);

    EXPECT_EQ(XtMatches::TargetVerdict("REJECT"), EFirewallVerdict::Drop);
    EXPECT_EQ(XtMatches::TargetVerdict("LOG"), EFirewallVerdict::None);
    EXPECT_EQ(XtMatches::TargetVerdict("NFQUEUE"), EFirewallVerdict::Unknown);
}

TEST(FirewallWalkTest, AddressesReadAsPrefixesRangesAndSingleAddressesOnly)
{
    SAddressRange range;
    ASSERT_TRUE(FirewallMatches::ParseAddressRange("10.77.1.9/24", range));
    EXPECT_EQ(range.nFirst, 0x0a4d0100u);
    EXPECT_EQ(range.nLast, 0x0a4d01ffu);
    ASSERT_TRUE(FirewallMatches::ParseAddressRange("0.0.0.0/0", range));
    EXPECT_EQ(range.nLast, 0xffffffffu);
    ASSERT_TRUE(FirewallMatches::ParseAddressRange("10.0.0.1-10.0.0.9", range));
    EXPECT_EQ(range.nLast - range.nFirst, 8u);
    for (const char* pszText : {"fe80::1", "10.0.0.0/33", "10.0.0.0/", "10.0.0", "eth0", ""})
        EXPECT_FALSE(FirewallMatches::ParseAddressRange(pszText, range)) << pszText;
}

} // namespace
