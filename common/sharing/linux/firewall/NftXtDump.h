// SPDX-License-Identifier: GPL-3.0-or-later
// The xtables matches and targets inside nftables rules (iptables-nft's), read from the kernel
// through libnftnl, since libnftables' listings show only their names.
#pragma once

#include <map>
#include <string>
#include <vector>

class CNftXtDump
{
public:
    struct SXtData {
        bool bTarget = false;
        std::string strName;
        int nRevision = 0;
        std::vector<unsigned char> Data;
    };
    // By Key(), each rule's xtables expressions in the rule's order.
    using XtMap = std::map<std::string, std::vector<SXtData>>;

    // A chain whose rules hold xtables expressions, as the JSON listing names it.
    struct SChain {
        std::string strFamily;
        std::string strTable;
        std::string strChain;
        auto operator<=>(const SChain&) const = default;
    };

    static std::string Key(const std::string& strFamily, const std::string& strTable,
                           const std::string& strChain, unsigned long long nHandle);
    // Every rule of the IPv4 families that has one; empty when the kernel cannot be asked.
    static XtMap Read();
    // Only the rules of these chains: the kernel walks a dump again from its start at each part
    // it sends, so a dump of what is needed alone is what keeps a large rule set's read short.
    static XtMap Read(const std::vector<SChain>& chains);
};
