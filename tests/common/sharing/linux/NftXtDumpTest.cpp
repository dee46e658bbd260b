// SPDX-License-Identifier: GPL-3.0-or-later
// The xtables data of iptables-nft's rules, dumped by the kernel of a private network namespace.
#include "NftXtDump.h"
#include "IptablesNftRestore_posix.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace
{

bool Restore(const std::string& strRule, int nRules)
{
    return IptablesNftRestore(nRules, [&strRule](int i) {
        return strRule + " -s 10.9." + std::to_string(i / 250) + "." + std::to_string(i % 250) +
               " -j DROP";
    });
}

std::string NamesOf(const std::vector<CNftXtDump::SXtData>& xts)
{
    std::string strNames;
    for (const CNftXtDump::SXtData& xt : xts)
        strNames += (xt.bTarget ? "target " : "match ") + xt.strName + ";";
    return strNames;
}

// A chain asked for alone is dumped whole, across the dump's parts, as the dump of every chain
// has it; the chains not asked for, and chains that are not there, give nothing.
TEST(NftXtDumpTest, TheChainsAskedForAreDumpedWholeAndNoOther)
{
    constexpr int kForwardRules = 600;
    ASSERT_TRUE(Restore("-A FORWARD -p tcp -m multiport --dports 25,465", kForwardRules));
    ASSERT_TRUE(Restore("-A INPUT -m addrtype --dst-type LOCAL", 1));
    ASSERT_EQ(std::system("nft add table inet other && nft add chain inet other c && "
                          "nft add rule inet other c tcp dport 22 accept"),
              0);
    const CNftXtDump::XtMap all = CNftXtDump::Read();
    const CNftXtDump::XtMap forward = CNftXtDump::Read({{"ip", "filter", "FORWARD"}});
    EXPECT_EQ(all.size(), kForwardRules + 1u);
    EXPECT_EQ(forward.size(), static_cast<std::size_t>(kForwardRules));
    for (const auto& [strKey, xts] : forward) {
        EXPECT_EQ(strKey.rfind("ip filter FORWARD ", 0), 0u) << strKey;
        EXPECT_EQ(NamesOf(xts), "match multiport;");
        ASSERT_TRUE(all.contains(strKey));
        ASSERT_EQ(all.at(strKey).size(), 1u);
        EXPECT_EQ(all.at(strKey)[0].Data, xts[0].Data);
        EXPECT_FALSE(xts[0].Data.empty());
    }
    EXPECT_EQ(CNftXtDump::Read({{"ip", "filter", "FORWARD"}, {"ip", "filter", "INPUT"}}).size(),
              kForwardRules + 1u);
    EXPECT_TRUE(CNftXtDump::Read({{"ip", "filter", "OUTPUT"}}).empty());
    EXPECT_TRUE(CNftXtDump::Read({{"ip", "nosuch", "FORWARD"}}).empty());
    EXPECT_TRUE(CNftXtDump::Read({{"inet", "other", "c"}}).empty());
    EXPECT_EQ(std::system("nft flush ruleset"), 0);
}

} // namespace
