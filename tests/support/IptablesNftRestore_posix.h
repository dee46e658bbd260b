// SPDX-License-Identifier: GPL-3.0-or-later
// Many iptables-nft rules in the filter table, given by their number, as iptables-nft-restore
// loads them: in batches, since a user namespace's netlink takes about a hundred such rules (with
// their xtables data) in one.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

inline bool IptablesNftRestore(int nRules, const std::function<std::string(int)>& rule)
{
    constexpr int kRulesPerBatch = 100;
    std::string strInput;
    for (int i = 0; i < nRules; i += kRulesPerBatch) {
        strInput += "*filter\n";
        for (int j = i; j < nRules && j < i + kRulesPerBatch; ++j)
            strInput += rule(j) + "\n";
        strInput += "COMMIT\n";
    }
    FILE* pRestore = ::popen("iptables-nft-restore --noflush", "w");
    if (pRestore == nullptr)
        return false;
    std::fputs(strInput.c_str(), pRestore);
    return ::pclose(pRestore) == 0;
}
