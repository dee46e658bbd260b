// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirewallRuleset.h"

#include <algorithm>

namespace
{

// The kernel refuses deeper jumps than this, so a deeper walk meets a loop it cannot have.
constexpr int kMaxJumpDepth = 16;

const SFirewallChain* FindChain(const SFirewallTable& table, const std::string& strName)
{
    for (const SFirewallChain& chain : table.Chains) {
        if (chain.strName == strName)
            return &chain;
    }
    return nullptr;
}

ETruth Matches(const SFirewallRule& rule, const SFirewallPacket& packet)
{
    ETruth truth = ETruth::Yes;
    for (const FirewallMatch& match : rule.Matches) {
        truth = Both(truth, match(packet));
        if (truth == ETruth::No)
            break;
    }
    return truth;
}

} // namespace

ETruth Not(ETruth truth)
{
    if (truth == ETruth::Maybe)
        return truth;
    return truth == ETruth::Yes ? ETruth::No : ETruth::Yes;
}

ETruth Both(ETruth first, ETruth second)
{
    return std::min(first, second);
}

ETruth Either(ETruth first, ETruth second)
{
    return std::max(first, second);
}

std::string SFirewallPlace::Text() const
{
    return "table " + strTable + ", chain " + strChain;
}

void CFirewallRuleset::SOutcomes::Add(const SOutcomes& other)
{
    bPass = bPass || other.bPass;
    bReturn = bReturn || other.bReturn;
    bNat = bNat || other.bNat;
    if (other.Stop)
        Stop = other.Stop;
}

void CFirewallRuleset::AddTable(SFirewallTable table)
{
    m_Tables.push_back(std::move(table));
}

std::optional<SFirewallPlace> CFirewallRuleset::FindStop(const std::string& strHook,
                                                         const SFirewallPacket& packet) const
{
    for (const SBaseChain& base : BaseChains(strHook, "filter")) {
        const SOutcomes outcomes = WalkBase(base, packet);
        if (!outcomes.bPass && !outcomes.bNat && outcomes.Stop)
            return outcomes.Stop;
    }
    return std::nullopt;
}

std::optional<std::string> CFirewallRuleset::FindSourceNat(const SFirewallPacket& packet) const
{
    for (const SBaseChain& base : BaseChains("postrouting", "nat")) {
        const SOutcomes outcomes = WalkBase(base, packet);
        if (outcomes.bNat && !outcomes.bPass && !outcomes.Stop)
            return base.pTable->strName;
    }
    return std::nullopt;
}

// In the order the kernel runs them: by priority, and tables in the order they were read.
std::vector<CFirewallRuleset::SBaseChain>
CFirewallRuleset::BaseChains(const std::string& strHook, const std::string& strType) const
{
    std::vector<SBaseChain> bases;
    for (const SFirewallTable& table : m_Tables) {
        for (const SFirewallChain& chain : table.Chains) {
            if (chain.strHook == strHook && chain.strType == strType)
                bases.push_back({&table, &chain});
        }
    }
    std::stable_sort(bases.begin(), bases.end(), [](const SBaseChain& a, const SBaseChain& b) {
        return a.pChain->nPriority < b.pChain->nPriority;
    });
    return bases;
}

// A packet that returns from a base chain meets its policy.
CFirewallRuleset::SOutcomes CFirewallRuleset::WalkBase(const SBaseChain& base,
                                                       const SFirewallPacket& packet) const
{
    SOutcomes outcomes = Walk(*base.pTable, *base.pChain, packet, 0);
    if (outcomes.bReturn && base.pChain->bPolicyDrop)
        outcomes.Stop = SFirewallPlace{base.pTable->strName, base.pChain->strName};
    else if (outcomes.bReturn)
        outcomes.bPass = true;
    outcomes.bReturn = false;
    return outcomes;
}

CFirewallRuleset::SOutcomes CFirewallRuleset::Walk(const SFirewallTable& table,
                                                   const SFirewallChain& chain,
                                                   const SFirewallPacket& packet, int nDepth) const
{
    SOutcomes outcomes;
    for (const SFirewallRule& rule : chain.Rules) {
        const ETruth truth = Matches(rule, packet);
        if (truth == ETruth::No || rule.verdict == EFirewallVerdict::None)
            continue;
        bool bGoesOn = false;
        outcomes.Add(Follow(table, chain, rule, packet, nDepth, bGoesOn));
        // Where the rule surely matches, only the way that goes on past it is left.
        if (truth == ETruth::Yes && !bGoesOn)
            return outcomes;
    }
    outcomes.bReturn = true;
    return outcomes;
}

// The ways out of the chain that the rule's verdict opens; bGoesOn when the packet may come back
// to the rule after it.
CFirewallRuleset::SOutcomes CFirewallRuleset::Follow(const SFirewallTable& table,
                                                     const SFirewallChain& chain,
                                                     const SFirewallRule& rule,
                                                     const SFirewallPacket& packet, int nDepth,
                                                     bool& bGoesOn) const
{
    SOutcomes outcomes;
    const SFirewallChain* pTarget = nullptr;
    switch (rule.verdict) {
    case EFirewallVerdict::Drop:
        outcomes.Stop = SFirewallPlace{table.strName, chain.strName};
        break;
    case EFirewallVerdict::Return:
        outcomes.bReturn = true;
        break;
    case EFirewallVerdict::Nat:
        outcomes.bNat = true;
        break;
    case EFirewallVerdict::Jump:
    case EFirewallVerdict::Goto:
        pTarget = FindChain(table, rule.strTarget);
        if (pTarget == nullptr || nDepth >= kMaxJumpDepth) {
            outcomes.bPass = true;
            break;
        }
        outcomes = Walk(table, *pTarget, packet, nDepth + 1);
        // A jump comes back to the next rule; a goto returns to whoever called this chain.
        if (rule.verdict == EFirewallVerdict::Jump) {
            bGoesOn = outcomes.bReturn;
            outcomes.bReturn = false;
        }
        break;
    default:
        outcomes.bPass = true;
        break;
    }
    return outcomes;
}
