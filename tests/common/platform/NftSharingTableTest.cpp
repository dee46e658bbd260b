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
    EXPECT_TRUE(HasLine(strCommands, "\t\toifname \"ppp0\" masquerade"));
    // From the shared side only answers come in; everything else is let be.
    EXPECT_TRUE(
        HasLine(strCommands, "\t\ttype filter hook forward priority filter; policy accept;"));
    EXPECT_TRUE(HasLine(strCommands, "\t\tiifname \"ppp0\" ct state established,related accept"));
    EXPECT_TRUE(HasLine(strCommands, "\t\tiifname \"ppp0\" drop"));
    EXPECT_EQ(std::count(strCommands.begin(), strCommands.end(), '{'),
              std::count(strCommands.begin(), strCommands.end(), '}'));
    EXPECT_TRUE(HasLine(CNftSharingTable::ReplaceCommands("wg0", true),
                        "\tcomment \"Tarnlow Server; IPv4 forwarding was on\""));
}

// As the kernel lists the table back.
constexpr const char* kListing = "table ip tarnlow {\n"
                                 "\tcomment \"Tarnlow Server; IPv4 forwarding was on\"\n"
                                 "\tchain postrouting {\n"
                                 "\t\ttype nat hook postrouting priority srcnat; policy accept;\n"
                                 "\t\toifname \"ppp1\" masquerade\n"
                                 "\t}\n"
                                 "\n"
                                 "\tchain forward {\n"
                                 "\t\ttype filter hook forward priority filter; policy accept;\n"
                                 "\t\tiifname \"ppp1\" ct state established,related accept\n"
                                 "\t\tiifname \"ppp1\" drop\n"
                                 "\t}\n"
                                 "}\n";

TEST(NftSharingTableTest, AListingReadsBackTheSharedInterfaceAndTheEarlierForwarding)
{
    CNftSharingTable::SState state;
    ASSERT_TRUE(CNftSharingTable::ParseListing(kListing, state));
    EXPECT_TRUE(state.bPresent);
    EXPECT_EQ(state.strInterface, "ppp1");
    EXPECT_TRUE(state.bForwardingWasOn);

    std::string strOff = kListing;
    strOff.replace(strOff.find("was on"), 6, "was off");
    ASSERT_TRUE(CNftSharingTable::ParseListing(strOff, state));
    EXPECT_FALSE(state.bForwardingWasOn);
    // What the generator writes reads back as it was meant.
    ASSERT_TRUE(
        CNftSharingTable::ParseListing(CNftSharingTable::ReplaceCommands("eth1", true), state));
    EXPECT_EQ(state.strInterface, "eth1");
    EXPECT_TRUE(state.bForwardingWasOn);
}

TEST(NftSharingTableTest, ATableThatIsNotOursOrMasqueradesNothingIsNotASharing)
{
    CNftSharingTable::SState state;
    std::string strForeign = kListing;
    strForeign.replace(strForeign.find("Tarnlow Server"), 14, "Someone");
    EXPECT_FALSE(CNftSharingTable::ParseListing(strForeign, state));
    EXPECT_FALSE(state.bPresent);

    std::string strEmpty = kListing;
    strEmpty.erase(strEmpty.find("\t\toifname"),
                   std::string("\t\toifname \"ppp1\" masquerade\n").size());
    EXPECT_FALSE(CNftSharingTable::ParseListing(strEmpty, state));
    EXPECT_FALSE(CNftSharingTable::ParseListing("", state));
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

// Only a forward base chain of another IPv4 table whose policy drops and whose rules cannot let
// anything through is in the sharing's way; sets, maps and other hooks are read past.
TEST(NftSharingTableTest, ForwardChainsThatDropEverythingAreFoundInOtherTablesOnly)
{
    const std::string strRuleset = R"(table inet filter {
	set lan_hosts {
		type ipv4_addr
		elements = { 10.0.0.2,
			     10.0.0.3 }
	}
	chain input {
		type filter hook input priority filter; policy drop;
	}
	chain forward {
		type filter hook forward priority filter; policy drop;
		counter packets 0 bytes 0
	}
}
table ip firewalld {
	chain filter_FORWARD {
		type filter hook forward priority filter + 10; policy drop;
		ct state established,related accept
	}
}
table ip6 filter6 {
	chain forward {
		type filter hook forward priority filter; policy drop;
	}
}
table ip tarnlow {
	chain forward {
		type filter hook forward priority filter; policy drop;
	}
}
table ip nat {
	chain forward {
		type filter hook forward priority filter; policy accept;
	}
	chain custom {
		type filter hook forward priority filter; policy drop;
		iifname vmap { "lan0" : jump lan }
	}
}
)";
    EXPECT_EQ(CNftSharingTable::ParseForwardDrops(strRuleset),
              std::vector<std::string>{"table inet filter, chain forward"});
    EXPECT_TRUE(CNftSharingTable::ParseForwardDrops("").empty());
}
