// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirewallMatches.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <map>
#include <netdb.h>

namespace FirewallMatches
{

namespace
{

constexpr int kTcp = 6;
constexpr int kUdp = 17;

// Whether the packet's value is one of the rule's, each compared by the given question.
template <typename TValue, typename TCompare>
FirewallMatch OneOf(std::vector<TValue> values, bool bNegated, TCompare compare)
{
    return [values = std::move(values), bNegated, compare](const SFirewallPacket& packet) {
        ETruth truth = ETruth::No;
        for (const TValue& value : values)
            truth = Either(truth, compare(packet, value));
        return bNegated ? Not(truth) : truth;
    };
}

ETruth Known(bool bTrue)
{
    return bTrue ? ETruth::Yes : ETruth::No;
}

bool NameMatches(const std::string& strName, const std::string& strPattern)
{
    if (!strPattern.empty() && (strPattern.back() == '*' || strPattern.back() == '+'))
        return strName.starts_with(strPattern.substr(0, strPattern.size() - 1));
    return strName == strPattern;
}

ETruth InRange(const SAddressRange& packet, const SAddressRange& rule)
{
    if (packet.nFirst >= rule.nFirst && packet.nLast <= rule.nLast)
        return ETruth::Yes;
    if (packet.nLast < rule.nFirst || packet.nFirst > rule.nLast)
        return ETruth::No;
    return ETruth::Maybe;
}

// A short number in decimal digits alone: a protocol's or a prefix's length.
bool IsSmallNumber(const std::string& strText)
{
    return !strText.empty() && strText.size() <= 3 &&
           std::all_of(strText.begin(), strText.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool ParseAddress(const std::string& strText, std::uint32_t& nAddress)
{
    in_addr address{};
    if (::inet_pton(AF_INET, strText.c_str(), &address) != 1)
        return false;
    nAddress = ntohl(address.s_addr);
    return true;
}

} // namespace

FirewallMatch InterfaceName(EDirection direction, std::vector<std::string> names, bool bNegated)
{
    return OneOf(std::move(names), bNegated,
                 [direction](const SFirewallPacket& packet, const std::string& strPattern) {
                     return Known(NameMatches(direction == EDirection::In ? packet.strInInterface
                                                                          : packet.strOutInterface,
                                              strPattern));
                 });
}

FirewallMatch InterfaceIndex(EDirection direction, std::vector<int> indexes, bool bNegated)
{
    return OneOf(std::move(indexes), bNegated,
                 [direction](const SFirewallPacket& packet, int nIndex) {
                     return Known((direction == EDirection::In ? packet.nInIndex
                                                               : packet.nOutIndex) == nIndex);
                 });
}

FirewallMatch Address(EEnd end, std::vector<SAddressRange> ranges, bool bNegated)
{
    return OneOf(std::move(ranges), bNegated,
                 [end](const SFirewallPacket& packet, const SAddressRange& range) {
                     return InRange(end == EEnd::Source ? packet.Source : packet.Destination,
                                    range);
                 });
}

FirewallMatch Protocol(std::vector<int> protocols, bool bNegated)
{
    return OneOf(std::move(protocols), bNegated, [](const SFirewallPacket& packet, int nProtocol) {
        return Known(packet.nProtocol == nProtocol);
    });
}

FirewallMatch Port(int nProtocol, EEnd end, std::vector<std::pair<int, int>> ranges, bool bNegated)
{
    const FirewallMatch ports =
        OneOf(std::move(ranges), bNegated,
              [end](const SFirewallPacket& packet, const std::pair<int, int>& range) {
                  // Only the port that the connection is made to is known.
                  if (end == EEnd::Source || packet.nDestinationPort < 0)
                      return ETruth::Maybe;
                  return Known(packet.nDestinationPort >= range.first &&
                               packet.nDestinationPort <= range.second);
              });
    // A port of another protocol, or of a packet without ports, is no port of this one.
    return [ports, nProtocol](const SFirewallPacket& packet) {
        const bool bHasPorts = packet.nProtocol == kTcp || packet.nProtocol == kUdp;
        if (nProtocol >= 0 ? packet.nProtocol != nProtocol : !bHasPorts)
            return ETruth::No;
        return ports(packet);
    };
}

FirewallMatch ConnectionState(std::vector<std::string> states, bool bNegated)
{
    return OneOf(std::move(states), bNegated,
                 [](const SFirewallPacket& packet, const std::string& strState) {
                     return Known(strState == (packet.bNew ? "new" : "established"));
                 });
}

FirewallMatch ConnectionStatus(std::vector<std::string> statuses, bool bNegated)
{
    return OneOf(std::move(statuses), bNegated,
                 [](const SFirewallPacket& packet, const std::string& strStatus) {
                     if (strStatus == "snat")
                         return Known(packet.bSourceNatted);
                     if (strStatus == "dnat")
                         return ETruth::No;
                     // A first packet is not yet confirmed, nor has it seen a reply.
                     return packet.bNew ? ETruth::No : ETruth::Maybe;
                 });
}

FirewallMatch ConnectionDirection(const std::string& strDirection, bool bNegated)
{
    return OneOf(std::vector<std::string>{strDirection}, bNegated,
                 [](const SFirewallPacket& packet, const std::string& strWanted) {
                     return Known(strWanted == (packet.bNew ? "original" : "reply"));
                 });
}

FirewallMatch DestinationType(std::vector<std::string> types, bool bNegated)
{
    return OneOf(
        std::move(types), bNegated, [](const SFirewallPacket& packet, const std::string& strType) {
            if (strType == "local")
                return Known(packet.bToLocal);
            if (strType == "unicast")
                return ETruth::Yes;
            if (strType == "broadcast" || strType == "multicast" || strType == "anycast" ||
                strType == "blackhole" || strType == "unreachable" || strType == "prohibit")
                return ETruth::No;
            return ETruth::Maybe;
        });
}

FirewallMatch Always(ETruth truth)
{
    return [truth](const SFirewallPacket&) { return truth; };
}

int ProtocolNumber(const std::string& strName)
{
    if (IsSmallNumber(strName))
        return std::stoi(strName);
    // The names that firewalls print, known without /etc/protocols.
    static const std::map<std::string, int> known = {
        {"icmp", 1},    {"igmp", 2},       {"tcp", 6},    {"udp", 17},
        {"dccp", 33},   {"gre", 47},       {"esp", 50},   {"ah", 51},
        {"icmpv6", 58}, {"ipv6-icmp", 58}, {"sctp", 132}, {"udplite", 136}};
    const auto found = known.find(strName);
    if (found != known.end())
        return found->second;
    protoent entry{};
    protoent* pEntry = nullptr;
    char cBuffer[1024];
    if (::getprotobyname_r(strName.c_str(), &entry, cBuffer, sizeof(cBuffer), &pEntry) != 0 ||
        pEntry == nullptr)
        return -1;
    return pEntry->p_proto;
}

bool ParseAddressRange(const std::string& strText, SAddressRange& range)
{
    const auto nSlash = strText.find('/');
    const auto nDash = strText.find('-');
    if (nDash != std::string::npos)
        return ParseAddress(strText.substr(0, nDash), range.nFirst) &&
               ParseAddress(strText.substr(nDash + 1), range.nLast);
    std::uint32_t nAddress = 0;
    if (!ParseAddress(strText.substr(0, nSlash), nAddress))
        return false;
    int nLength = 32;
    if (nSlash != std::string::npos) {
        const std::string strLength = strText.substr(nSlash + 1);
        if (!IsSmallNumber(strLength))
            return false;
        nLength = std::stoi(strLength);
    }
    if (nLength > 32)
        return false;
    const std::uint32_t nMask = nLength == 0 ? 0 : ~std::uint32_t{0} << (32 - nLength);
    range = {nAddress & nMask, (nAddress & nMask) | ~nMask};
    return true;
}

} // namespace FirewallMatches
