// SPDX-License-Identifier: GPL-3.0-or-later
#include "XtMatches.h"

#include "FirewallMatches.h"

#include <cstring>
#include <linux/netfilter/nf_conntrack_common.h>
#include <linux/netfilter/xt_addrtype.h>
#include <linux/netfilter/xt_conntrack.h>
#include <linux/netfilter/xt_multiport.h>
#include <linux/netfilter/xt_state.h>
#include <linux/netfilter/xt_tcpudp.h>
#include <map>

namespace XtMatches
{

namespace
{

using namespace FirewallMatches;

constexpr int kTcp = 6;
constexpr int kUdp = 17;
constexpr int kIcmp = 1;
constexpr int kLastPort = 65535;

// The match's data as the revision's structure; false when the kernel gave less than it.
template <typename TInfo>
bool Read(const void* pData, std::size_t nSize, TInfo& info)
{
    if (pData == nullptr || nSize < sizeof(TInfo))
        return false;
    std::memcpy(&info, pData, sizeof(TInfo));
    return true;
}

FirewallMatch AllOf(std::vector<FirewallMatch> matches)
{
    return [matches = std::move(matches)](const SFirewallPacket& packet) {
        ETruth truth = ETruth::Yes;
        for (const FirewallMatch& match : matches)
            truth = Both(truth, match(packet));
        return truth;
    };
}

// Conntrack's state bits, as the conntrack and state matches share them.
FirewallMatch StateMask(unsigned nMask, bool bNegated)
{
    std::vector<std::string> states;
    const std::pair<unsigned, const char*> bits[] = {
        {XT_CONNTRACK_STATE_BIT(IP_CT_ESTABLISHED), "established"},
        {XT_CONNTRACK_STATE_BIT(IP_CT_RELATED), "related"},
        {XT_CONNTRACK_STATE_BIT(IP_CT_NEW), "new"},
        {XT_CONNTRACK_STATE_INVALID, "invalid"},
        {XT_CONNTRACK_STATE_UNTRACKED, "untracked"}};
    for (const auto& [nBit, pszState] : bits) {
        if ((nMask & nBit) != 0)
            states.emplace_back(pszState);
    }
    std::vector<std::string> statuses;
    if ((nMask & XT_CONNTRACK_STATE_SNAT) != 0)
        statuses.emplace_back("snat");
    if ((nMask & XT_CONNTRACK_STATE_DNAT) != 0)
        statuses.emplace_back("dnat");
    const FirewallMatch state = ConnectionState(std::move(states), false);
    const FirewallMatch status = ConnectionStatus(std::move(statuses), false);
    return [state, status, bNegated](const SFirewallPacket& packet) {
        const ETruth truth = Either(state(packet), status(packet));
        return bNegated ? Not(truth) : truth;
    };
}

template <typename TInfo>
FirewallMatch ConntrackOf(const TInfo& info)
{
    const unsigned nFlags = info.match_flags;
    const unsigned nInverted = info.invert_flags;
    std::vector<FirewallMatch> matches;
    if ((nFlags & XT_CONNTRACK_STATE) != 0)
        matches.push_back(StateMask(info.state_mask, (nInverted & XT_CONNTRACK_STATE) != 0));
    if ((nFlags & XT_CONNTRACK_STATUS) != 0) {
        std::vector<std::string> statuses;
        if ((info.status_mask & IPS_SRC_NAT) != 0)
            statuses.emplace_back("snat");
        if ((info.status_mask & IPS_DST_NAT) != 0)
            statuses.emplace_back("dnat");
        if ((info.status_mask & ~(IPS_SRC_NAT | IPS_DST_NAT)) != 0)
            statuses.emplace_back("other");
        matches.push_back(
            ConnectionStatus(std::move(statuses), (nInverted & XT_CONNTRACK_STATUS) != 0));
    }
    // The direction's flag says "original"; inverted it says "reply".
    if ((nFlags & XT_CONNTRACK_DIRECTION) != 0)
        matches.push_back(ConnectionDirection(
            (nInverted & XT_CONNTRACK_DIRECTION) != 0 ? "reply" : "original", false));
    const unsigned nKnown = XT_CONNTRACK_STATE | XT_CONNTRACK_STATUS | XT_CONNTRACK_DIRECTION |
                            XT_CONNTRACK_STATE_ALIAS;
    if ((nFlags & ~nKnown) != 0)
        matches.push_back(Always(ETruth::Maybe));
    return AllOf(std::move(matches));
}

FirewallMatch Conntrack(int nRevision, const void* pData, std::size_t nSize)
{
    xt_conntrack_mtinfo1 info1{};
    xt_conntrack_mtinfo2 info2{};
    if (nRevision == 1 && Read(pData, nSize, info1))
        return ConntrackOf(info1);
    // The third revision only adds port ranges after the second's fields.
    if (nRevision >= 2 && Read(pData, nSize, info2))
        return ConntrackOf(info2);
    return Always(ETruth::Maybe);
}

FirewallMatch State(const void* pData, std::size_t nSize)
{
    xt_state_info info{};
    if (!Read(pData, nSize, info))
        return Always(ETruth::Maybe);
    // The state match numbers its bits as conntrack's does, but for "untracked".
    const unsigned nUntracked = (info.statemask & XT_STATE_UNTRACKED) != 0
                                    ? static_cast<unsigned>(XT_CONNTRACK_STATE_UNTRACKED)
                                    : 0U;
    return StateMask((info.statemask & ~XT_STATE_UNTRACKED) | nUntracked, false);
}

std::vector<std::pair<int, int>> Range(const __u16 (&ports)[2])
{
    return {{ports[0], ports[1]}};
}

bool IsAnyPort(const __u16 (&ports)[2])
{
    return ports[0] == 0 && ports[1] == kLastPort;
}

// The ports of a tcp or udp match; the source port only where it asks for some.
template <typename TInfo>
std::vector<FirewallMatch> PortsOf(int nProtocol, const TInfo& info, unsigned nInvertSource,
                                   unsigned nInvertDestination)
{
    std::vector<FirewallMatch> matches{Port(nProtocol, EEnd::Destination, Range(info.dpts),
                                            (info.invflags & nInvertDestination) != 0)};
    if (!IsAnyPort(info.spts))
        matches.push_back(
            Port(nProtocol, EEnd::Source, Range(info.spts), (info.invflags & nInvertSource) != 0));
    return matches;
}

FirewallMatch Tcp(const void* pData, std::size_t nSize)
{
    xt_tcp info{};
    if (!Read(pData, nSize, info))
        return Port(kTcp, EEnd::Destination, {{0, kLastPort}}, false);
    std::vector<FirewallMatch> matches = PortsOf(kTcp, info, XT_TCP_INV_SRCPT, XT_TCP_INV_DSTPT);
    if (info.flg_mask != 0 || info.option != 0)
        matches.push_back(Always(ETruth::Maybe));
    return AllOf(std::move(matches));
}

FirewallMatch Udp(const void* pData, std::size_t nSize)
{
    xt_udp info{};
    if (!Read(pData, nSize, info))
        return Port(kUdp, EEnd::Destination, {{0, kLastPort}}, false);
    return AllOf(PortsOf(kUdp, info, XT_UDP_INV_SRCPT, XT_UDP_INV_DSTPT));
}

FirewallMatch Multiport(int nRevision, const void* pData, std::size_t nSize)
{
    xt_multiport_v1 info{};
    if (nRevision != 1 || !Read(pData, nSize, info) || info.count > XT_MULTI_PORTS)
        return Always(ETruth::Maybe);
    std::vector<std::pair<int, int>> ranges;
    for (unsigned i = 0; i < info.count; ++i) {
        // A flagged port begins a range that the next one ends.
        const bool bRange = info.pflags[i] != 0 && i + 1 < info.count;
        ranges.emplace_back(info.ports[i], bRange ? info.ports[i + 1] : info.ports[i]);
        i += bRange ? 1 : 0;
    }
    const EEnd end = info.flags == XT_MULTIPORT_DESTINATION ? EEnd::Destination : EEnd::Source;
    return Port(-1, end, std::move(ranges), info.invert != 0);
}

FirewallMatch DestinationTypeMask(unsigned nMask, bool bNegated)
{
    const std::map<unsigned, const char*> types = {
        {XT_ADDRTYPE_UNICAST, "unicast"},         {XT_ADDRTYPE_LOCAL, "local"},
        {XT_ADDRTYPE_BROADCAST, "broadcast"},     {XT_ADDRTYPE_ANYCAST, "anycast"},
        {XT_ADDRTYPE_MULTICAST, "multicast"},     {XT_ADDRTYPE_BLACKHOLE, "blackhole"},
        {XT_ADDRTYPE_UNREACHABLE, "unreachable"}, {XT_ADDRTYPE_PROHIBIT, "prohibit"}};
    std::vector<std::string> words;
    for (const auto& [nBit, pszType] : types) {
        if ((nMask & nBit) != 0)
            words.emplace_back(pszType);
    }
    if ((nMask & ~(XT_ADDRTYPE_UNICAST | XT_ADDRTYPE_LOCAL | XT_ADDRTYPE_BROADCAST |
                   XT_ADDRTYPE_ANYCAST | XT_ADDRTYPE_MULTICAST | XT_ADDRTYPE_BLACKHOLE |
                   XT_ADDRTYPE_UNREACHABLE | XT_ADDRTYPE_PROHIBIT)) != 0)
        words.emplace_back("other");
    return DestinationType(std::move(words), bNegated);
}

FirewallMatch Addrtype(int nRevision, const void* pData, std::size_t nSize)
{
    xt_addrtype_info_v1 info{};
    if (nRevision != 1 || !Read(pData, nSize, info))
        return Always(ETruth::Maybe);
    std::vector<FirewallMatch> matches;
    if (info.dest != 0)
        matches.push_back(
            DestinationTypeMask(info.dest, (info.flags & XT_ADDRTYPE_INVERT_DEST) != 0));
    if (info.source != 0 ||
        (info.flags & (XT_ADDRTYPE_LIMIT_IFACE_IN | XT_ADDRTYPE_LIMIT_IFACE_OUT)) != 0)
        matches.push_back(Always(ETruth::Maybe));
    return AllOf(std::move(matches));
}

} // namespace

FirewallMatch Match(const std::string& strName, int nRevision, const void* pData, std::size_t nSize)
{
    if (strName == "conntrack")
        return Conntrack(nRevision, pData, nSize);
    if (strName == "state")
        return State(pData, nSize);
    if (strName == "tcp")
        return Tcp(pData, nSize);
    if (strName == "udp")
        return Udp(pData, nSize);
    if (strName == "multiport")
        return Multiport(nRevision, pData, nSize);
    if (strName == "addrtype")
        return Addrtype(nRevision, pData, nSize);
    if (strName == "icmp")
        return Protocol({kIcmp}, false);
    if (strName == "comment")
        return Always(ETruth::Yes);
    return Always(ETruth::Maybe);
}

EFirewallVerdict TargetVerdict(const std::string& strName)
{
    if (strName == "ACCEPT")
        return EFirewallVerdict::Accept;
    if (strName == "DROP" || strName == "REJECT")
        return EFirewallVerdict::Drop;
    if (strName == "RETURN")
        return EFirewallVerdict::Return;
    if (strName == "MASQUERADE" || strName == "SNAT")
        return EFirewallVerdict::Nat;
    // Targets that only log, count or mark, after which the packet goes on.
    if (strName == "LOG" || strName == "NFLOG" || strName == "MARK" || strName == "CONNMARK" ||
        strName == "TCPMSS" || strName == "CT" || strName == "DSCP" || strName == "CLASSIFY" ||
        strName == "AUDIT" || strName == "CHECKSUM")
        return EFirewallVerdict::None;
    return EFirewallVerdict::Unknown;
}

} // namespace XtMatches
