// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftSharingTable.h"

#include <gtest/gtest.h>

namespace
{

bool HasLine(const std::string& strText, const std::string& strLine)
{
    return ("\n" + strText).find("\n" + strLine + "\n") != std::string::npos;
}

TEST(NftSharingTableTest, TheRuleSetMasqueradesThroughTheSharedInterfaceOnly)
{
    const std::string strCommands = CNftSharingTable::ReplaceCommands("ppp0", false);
    // Any earlier table goes in the same transaction, whether or not there was one.
    EXPECT_EQ(
        strCommands.rfind("add table ip tarnlow\ndelete table ip tarnlow\ntable ip tarnlow {\n", 0),
        0u);
    EXPECT_TRUE(HasLine(strCommands, "\tcomment \"Tarnlow Server; IPv4 forwarding was off\""));
    EXPECT_TRUE(
        HasLine(strCommands, "\t\ttype nat hook postrouting priority srcnat; policy accept;"));
    EXPECT_TRUE(HasLine(strCommands, "\t\toifname \"ppp0\" masquerade comment \"Tarnlow Server; "
                                     "IPv4 forwarding was off\""));
    // From the shared side only answers come in; everything else is let be.
    EXPECT_TRUE(
        HasLine(strCommands, "\t\ttype filter hook forward priority filter; policy accept;"));
    // The connections that the LAN opens through the uplink fit the uplink's MTU.
    EXPECT_TRUE(HasLine(strCommands, "\t\toifname \"ppp0\" tcp flags & (syn | rst) == syn tcp "
                                     "option maxseg size set rt mtu"));
    EXPECT_TRUE(HasLine(strCommands, "\t\tiifname \"ppp0\" ct state established,related accept"));
    EXPECT_TRUE(HasLine(strCommands, "\t\tiifname \"ppp0\" drop"));
    EXPECT_EQ(std::count(strCommands.begin(), strCommands.end(), '{'),
              std::count(strCommands.begin(), strCommands.end(), '}'));
    EXPECT_TRUE(HasLine(CNftSharingTable::ReplaceCommands("wg0", true),
                        "\tcomment \"Tarnlow Server; IPv4 forwarding was on\""));
}

// As libnftables lists the table back in JSON.
const std::string kListing =
    R"({"nftables": [{"metainfo": {"version": "1.0.6", "json_schema_version": 1}},
 {"table": {"family": "ip", "name": "tarnlow", "handle": 7}},
 {"chain": {"family": "ip", "table": "tarnlow", "name": "postrouting", "handle": 1,
  "type": "nat", "hook": "postrouting", "prio": 100, "policy": "accept"}},
 {"chain": {"family": "ip", "table": "tarnlow", "name": "forward", "handle": 2,
  "type": "filter", "hook": "forward", "prio": 0, "policy": "accept"}},
 {"rule": {"family": "ip", "table": "tarnlow", "chain": "postrouting", "handle": 3,
  "comment": "Tarnlow Server; IPv4 forwarding was on",
  "expr": [{"match": {"op": "==", "left": {"meta": {"key": "oifname"}}, "right": "ppp1"}},
           {"masquerade": null}]}},
 {"rule": {"family": "ip", "table": "tarnlow", "chain": "forward", "handle": 4,
  "expr": [{"match": {"op": "==", "left": {"meta": {"key": "oifname"}}, "right": "ppp1"}},
           {"match": {"op": "==", "left": {"&": [{"payload": {"protocol": "tcp", "field": "flags"}},
                                                ["syn", "rst"]]}, "right": "syn"}},
           {"mangle": {"key": {"tcp option": {"name": "maxseg", "field": "size"}},
                       "value": {"rt": {"key": "mtu"}}}}]}},
 {"rule": {"family": "ip", "table": "tarnlow", "chain": "forward", "handle": 5,
  "expr": [{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "ppp1"}},
           {"match": {"op": "in", "left": {"ct": {"key": "state"}},
                      "right": ["established", "related"]}}, {"accept": null}]}},
 {"rule": {"family": "ip", "table": "tarnlow", "chain": "forward", "handle": 6,
  "expr": [{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "ppp1"}},
           {"drop": null}]}}]})";

std::string Replaced(std::string strText, const std::string& strOld, const std::string& strNew)
{
    strText.replace(strText.find(strOld), strOld.size(), strNew);
    return strText;
}

TEST(NftSharingTableTest, AListingReadsBackTheSharedInterfaceAndTheEarlierForwarding)
{
    CNftSharingTable::SState state;
    ASSERT_TRUE(CNftSharingTable::ParseListing(kListing, state));
    EXPECT_TRUE(state.bTable);
    EXPECT_TRUE(state.bPresent);
    EXPECT_TRUE(state.bComplete);
    EXPECT_EQ(state.strInterface, "ppp1");
    EXPECT_TRUE(state.bForwardingWasOn);
    // A table of an older version, which did not clamp the MSS, still shares, but is not complete.
    ASSERT_TRUE(
        CNftSharingTable::ParseListing(Replaced(kListing, "\"mangle\"", "\"notrack\""), state));
    EXPECT_FALSE(state.bComplete);

    ASSERT_TRUE(CNftSharingTable::ParseListing(Replaced(kListing, "was on", "was off"), state));
    EXPECT_FALSE(state.bForwardingWasOn);
    // A table made before the rule carried the comment leaves forwarding as it finds it.
    ASSERT_TRUE(CNftSharingTable::ParseListing(
        Replaced(kListing, "\"comment\": \"Tarnlow Server; IPv4 forwarding was on\",", ""), state));
    EXPECT_TRUE(state.bForwardingWasOn);
}

TEST(NftSharingTableTest, AListingThatMasqueradesNothingOrIsNoListingIsNotASharing)
{
    CNftSharingTable::SState state;
    EXPECT_FALSE(CNftSharingTable::ParseListing(
        Replaced(kListing, "{\"masquerade\": null}", "{\"accept\": null}"), state));
    EXPECT_FALSE(state.bPresent);
    // Another table's masquerading is not ours.
    EXPECT_FALSE(CNftSharingTable::ParseListing(
        Replaced(kListing, "\"table\": \"tarnlow\", \"chain\": \"postrouting\"",
                 "\"table\": \"nat\", \"chain\": \"postrouting\""),
        state));
    // An emptied table (nft flush table) is there, and shares nothing.
    const std::string strEmptied = kListing.substr(0, kListing.find(",\n {\"chain\"")) + "]}";
    EXPECT_FALSE(CNftSharingTable::ParseListing(strEmptied, state));
    EXPECT_TRUE(state.bTable);
    EXPECT_FALSE(state.bComplete);
    for (const char* pszText : {"", "{", "[]", "{\"nftables\": 1}",
                                "{\"nftables\": [{\"rule\": {\"family\": 4, \"expr\": 3}}]}"})
        EXPECT_FALSE(CNftSharingTable::ParseListing(pszText, state)) << pszText;
}

TEST(NftSharingTableTest, OnlyNamesThatTheRulesCarryAsTheyStandAreSafe)
{
    for (const char* pszName :
         {"ppp0", "eth0.100", "wg-home", "enp0s31f6", "veth_a@b", "x+1", "fifteen-chars15"})
        EXPECT_TRUE(CNftSharingTable::IsSafeInterfaceName(pszName)) << pszName;
    for (const char* pszName : {"", "sixteen-chars-16", "a\"b", "ppp*", "a b", "a\\b", "a;b", "a}b",
                                "a\nb", "caf\xC3\xA9"})
        EXPECT_FALSE(CNftSharingTable::IsSafeInterfaceName(pszName)) << pszName;
}

} // namespace
