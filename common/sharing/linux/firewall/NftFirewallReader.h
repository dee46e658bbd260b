// SPDX-License-Identifier: GPL-3.0-or-later
// nftables' rule set, as libnftables lists it in JSON, turned into the tables that the firewall
// walk reads: every ip and inet table but our own (iptables-nft's among them), their chains, named
// sets and verdict maps. JSON carries no data of the xtables matches that iptables-nft leaves in
// its rules, so those come beside it, read from the kernel by CNftXtDump.
#pragma once

#include "FirewallRuleset.h"
#include "NftXtDump.h"

#include <string>

class CNftFirewallReader
{
public:
    // False when the text is no JSON listing of a rule set. With the xtables data given (a
    // recording), or read from the kernel for the chains that hold any.
    static bool Parse(const std::string& strJson, const CNftXtDump::XtMap& xtData,
                      const std::string& strOwnTable, CFirewallRuleset& ruleset);
    static bool Parse(const std::string& strJson, const std::string& strOwnTable,
                      CFirewallRuleset& ruleset);
};
