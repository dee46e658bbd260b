// SPDX-License-Identifier: GPL-3.0-or-later
// The xtables matches and targets that iptables-nft keeps inside nftables rules and legacy
// iptables in its own tables, read from the kernel's binary form. What is not known here may
// match; a target not known here may let the packet pass.
#pragma once

#include "FirewallRuleset.h"

#include <cstddef>
#include <string>

namespace XtMatches
{

FirewallMatch Match(const std::string& strName, int nRevision, const void* pData,
                    std::size_t nSize);
EFirewallVerdict TargetVerdict(const std::string& strName);

} // namespace XtMatches
