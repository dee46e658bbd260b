// SPDX-License-Identifier: GPL-3.0-or-later
#include "IptablesLegacyReader.h"

#include "FirewallMatches.h"
#include "XtMatches.h"

#include <arpa/inet.h>
#include <fstream>
#include <libiptc/libiptc.h>
#include <map>
#include <memory>

namespace
{

using namespace FirewallMatches;

// How the log names a table of legacy iptables, apart from nftables' tables of the same name.
constexpr const char* kTablePrefix = "iptables-legacy ";
constexpr const char* kTablesNames = "/proc/net/ip_tables_names";

struct SHandleDeleter {
    void operator()(xtc_handle* pHandle) const { iptc_free(pHandle); }
};

struct SHook {
    const char* pszHook;
    const char* pszType;
    int nPriority;
};

// The built-in chains' hooks and priorities, as nftables numbers them.
const std::map<std::string, SHook> kBuiltins = {{"filter INPUT", {"input", "filter", 0}},
                                                {"filter FORWARD", {"forward", "filter", 0}},
                                                {"filter OUTPUT", {"output", "filter", 0}},
                                                {"nat PREROUTING", {"prerouting", "nat", -100}},
                                                {"nat INPUT", {"input", "nat", 100}},
                                                {"nat OUTPUT", {"output", "nat", -100}},
                                                {"nat POSTROUTING", {"postrouting", "nat", 100}}};

bool KernelHasTable(const std::string& strTable)
{
    std::ifstream names(kTablesNames);
    std::string strName;
    while (std::getline(names, strName)) {
        if (strName == strTable)
            return true;
    }
    return false;
}

SAddressRange RangeOf(in_addr address, in_addr mask)
{
    const std::uint32_t nAddress = ntohl(address.s_addr);
    const std::uint32_t nMask = ntohl(mask.s_addr);
    return {nAddress & nMask, (nAddress & nMask) | ~nMask};
}

// What the entry's own fields ask of the packet: interfaces, addresses, protocol.
void AddEntryMatches(const ipt_ip& ip, std::vector<FirewallMatch>& matches)
{
    if (ip.iniface[0] != '\0')
        matches.push_back(
            InterfaceName(EDirection::In, {ip.iniface}, (ip.invflags & IPT_INV_VIA_IN) != 0));
    if (ip.outiface[0] != '\0')
        matches.push_back(
            InterfaceName(EDirection::Out, {ip.outiface}, (ip.invflags & IPT_INV_VIA_OUT) != 0));
    if (ip.smsk.s_addr != 0)
        matches.push_back(
            Address(EEnd::Source, {RangeOf(ip.src, ip.smsk)}, (ip.invflags & IPT_INV_SRCIP) != 0));
    if (ip.dmsk.s_addr != 0)
        matches.push_back(Address(EEnd::Destination, {RangeOf(ip.dst, ip.dmsk)},
                                  (ip.invflags & IPT_INV_DSTIP) != 0));
    if (ip.proto != 0)
        matches.push_back(Protocol({ip.proto}, (ip.invflags & IPT_INV_PROTO) != 0));
    // Only later fragments match a fragment rule; a connection's first packet is none.
    if ((ip.flags & IPT_F_FRAG) != 0)
        matches.push_back(Always((ip.invflags & IPT_INV_FRAG) != 0 ? ETruth::Yes : ETruth::No));
}

SFirewallRule RuleOf(const ipt_entry& entry, xtc_handle* pHandle)
{
    SFirewallRule rule;
    AddEntryMatches(entry.ip, rule.Matches);
    const auto* pBytes = reinterpret_cast<const unsigned char*>(&entry);
    for (unsigned nOffset = sizeof(ipt_entry); nOffset < entry.target_offset;) {
        const auto* pMatch = reinterpret_cast<const xt_entry_match*>(pBytes + nOffset);
        const unsigned nSize = pMatch->u.match_size;
        if (nSize < sizeof(xt_entry_match) || nOffset + nSize > entry.target_offset)
            break;
        rule.Matches.push_back(XtMatches::Match(pMatch->u.user.name, pMatch->u.user.revision,
                                                pMatch->data, nSize - sizeof(xt_entry_match)));
        nOffset += nSize;
    }
    const char* pszTarget = iptc_get_target(&entry, pHandle);
    const std::string strTarget = pszTarget != nullptr ? pszTarget : "";
    if (strTarget.empty())
        rule.verdict = EFirewallVerdict::None;
    else if (iptc_is_chain(strTarget.c_str(), pHandle) != 0) {
        rule.verdict =
            (entry.ip.flags & IPT_F_GOTO) != 0 ? EFirewallVerdict::Goto : EFirewallVerdict::Jump;
        rule.strTarget = strTarget;
    } else
        rule.verdict = XtMatches::TargetVerdict(strTarget);
    return rule;
}

SFirewallChain ChainOf(const std::string& strTable, const char* pszChain, xtc_handle* pHandle)
{
    SFirewallChain chain;
    chain.strName = pszChain;
    const auto builtin = kBuiltins.find(strTable + " " + chain.strName);
    if (iptc_builtin(pszChain, pHandle) != 0 && builtin != kBuiltins.end()) {
        chain.strHook = builtin->second.pszHook;
        chain.strType = builtin->second.pszType;
        chain.nPriority = builtin->second.nPriority;
        xt_counters counters{};
        const char* pszPolicy = iptc_get_policy(pszChain, &counters, pHandle);
        chain.bPolicyDrop = pszPolicy != nullptr && std::string(pszPolicy) == "DROP";
    }
    for (const ipt_entry* pEntry = iptc_first_rule(pszChain, pHandle); pEntry != nullptr;
         pEntry = iptc_next_rule(pEntry, pHandle))
        chain.Rules.push_back(RuleOf(*pEntry, pHandle));
    return chain;
}

} // namespace

void CIptablesLegacyReader::Read(CFirewallRuleset& ruleset)
{
    for (const std::string strTable : {"filter", "nat"}) {
        if (!KernelHasTable(strTable))
            continue;
        const std::unique_ptr<xtc_handle, SHandleDeleter> pHandle(iptc_init(strTable.c_str()));
        if (!pHandle)
            continue;
        SFirewallTable table{kTablePrefix + strTable, {}};
        for (const char* pszChain = iptc_first_chain(pHandle.get()); pszChain != nullptr;
             pszChain = iptc_next_chain(pHandle.get()))
            table.Chains.push_back(ChainOf(strTable, pszChain, pHandle.get()));
        ruleset.AddTable(std::move(table));
    }
}
