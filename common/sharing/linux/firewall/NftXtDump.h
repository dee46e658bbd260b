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

    static std::string Key(const std::string& strFamily, const std::string& strTable,
                           const std::string& strChain, unsigned long long nHandle);
    // Every rule of the IPv4 families that has one; empty when the kernel cannot be asked.
    static XtMap Read();
};
