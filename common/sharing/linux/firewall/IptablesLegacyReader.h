// SPDX-License-Identifier: GPL-3.0-or-later
// Legacy iptables (the kernel's ip_tables, beside nftables): its filter and nat tables, read
// through libip4tc for the firewall walk. A table that the kernel does not have in this network
// namespace is not asked for, since asking would make it.
#pragma once

#include "FirewallRuleset.h"

class CIptablesLegacyReader
{
public:
    // Adds the tables it could read; nothing when legacy iptables is not in use or not readable.
    static void Read(CFirewallRuleset& ruleset);
};
