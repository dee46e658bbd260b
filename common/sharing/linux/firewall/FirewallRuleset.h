// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's other firewalls as the Linux sharing service reads them (nftables tables, and the
// legacy iptables tables beside them), and the walk of one packet through a hook of theirs. What
// a rule matches is decided for the packet where it can be; a match that cannot be decided may
// match, and the walk follows every way the packet could take: a packet is stopped only when every
// one of them stops it, so that no firewall is ever named for a guess.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class ETruth { No, Maybe, Yes };

ETruth Not(ETruth truth);
ETruth Both(ETruth first, ETruth second);
ETruth Either(ETruth first, ETruth second);

// IPv4 addresses from nFirst to nLast, in host order.
struct SAddressRange {
    std::uint32_t nFirst = 0;
    std::uint32_t nLast = 0xffffffff;
};

// What is known of a packet of one IPv4 TCP connection: its first packet, or a reply to it.
struct SFirewallPacket {
    std::string strInInterface;
    int nInIndex = 0;
    std::string strOutInterface; // empty on the input hook
    int nOutIndex = 0;
    SAddressRange Source;
    SAddressRange Destination;
    int nProtocol = 6;         // IPPROTO_TCP
    int nDestinationPort = -1; // -1 when any port may be asked
    bool bNew = true;          // ct state new; else established, in the reply direction
    bool bSourceNatted = false;
    bool bToLocal = false; // addressed to the machine itself
};

using FirewallMatch = std::function<ETruth(const SFirewallPacket&)>;

enum class EFirewallVerdict {
    None,   // the rule only counts, logs or marks: the packet goes on
    Accept, // accepted by this base chain: the next base chain of the hook sees it
    Drop,   // dropped or rejected: final
    Return,
    Jump,
    Goto,
    Nat,    // masqueraded or source-NATed
    Unknown // a verdict the walk cannot follow (a queue, an unknown target): it may pass
};

struct SFirewallRule {
    std::vector<FirewallMatch> Matches;
    EFirewallVerdict verdict = EFirewallVerdict::None;
    std::string strTarget; // the chain of a jump or goto
};

struct SFirewallChain {
    std::string strName;
    std::string strHook; // empty for a chain that is only jumped to
    std::string strType; // filter, nat, route
    int nPriority = 0;
    bool bPolicyDrop = false;
    std::vector<SFirewallRule> Rules;
};

struct SFirewallTable {
    std::string strName; // as the log names it: "inet filter", "iptables-legacy filter"
    std::vector<SFirewallChain> Chains;
};

struct SFirewallPlace {
    std::string strTable;
    std::string strChain;

    bool operator==(const SFirewallPlace&) const = default;
    // "table inet filter, chain forward"
    std::string Text() const;
};

class CFirewallRuleset
{
public:
    void AddTable(SFirewallTable table);
    bool IsEmpty() const { return m_Tables.empty(); }

    // Where the filter chains of the hook certainly stop the packet; nothing when it may pass.
    std::optional<SFirewallPlace> FindStop(const std::string& strHook,
                                           const SFirewallPacket& packet) const;
    // The table whose postrouting NAT chains certainly masquerade or source-NAT the packet.
    std::optional<std::string> FindSourceNat(const SFirewallPacket& packet) const;

private:
    // Every way the packet may leave a chain.
    struct SOutcomes {
        bool bPass = false;
        bool bReturn = false;
        bool bNat = false;
        // The last place seen that stops it: where the way that certainly happens ends.
        std::optional<SFirewallPlace> Stop;

        void Add(const SOutcomes& other);
    };

    struct SBaseChain {
        const SFirewallTable* pTable;
        const SFirewallChain* pChain;
    };

    std::vector<SBaseChain> BaseChains(const std::string& strHook,
                                       const std::string& strType) const;
    SOutcomes WalkBase(const SBaseChain& base, const SFirewallPacket& packet) const;
    SOutcomes Walk(const SFirewallTable& table, const SFirewallChain& chain,
                   const SFirewallPacket& packet, int nDepth) const;
    SOutcomes Follow(const SFirewallTable& table, const SFirewallChain& chain,
                     const SFirewallRule& rule, const SFirewallPacket& packet, int nDepth,
                     bool& bGoesOn) const;

    std::vector<SFirewallTable> m_Tables;
};
