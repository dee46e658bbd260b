// SPDX-License-Identifier: GPL-3.0-or-later
// The matches that the walk can decide for a packet, whichever firewall they were read from
// (nftables expressions, xtables matches of iptables-nft and legacy iptables). Each takes the
// values a rule lists and says whether the packet has one of them; bNegated turns the answer.
#pragma once

#include "FirewallRuleset.h"

#include <string>
#include <utility>
#include <vector>

namespace FirewallMatches
{

enum class EDirection { In, Out };
enum class EEnd { Source, Destination };

// Names end in '*' (nftables) or '+' (iptables) where they stand for every name so begun.
FirewallMatch InterfaceName(EDirection direction, std::vector<std::string> names, bool bNegated);
FirewallMatch InterfaceIndex(EDirection direction, std::vector<int> indexes, bool bNegated);
FirewallMatch Address(EEnd end, std::vector<SAddressRange> ranges, bool bNegated);
FirewallMatch Protocol(std::vector<int> protocols, bool bNegated);
// Ports of a protocol (-1: of any transport protocol), each a range from first to last.
FirewallMatch Port(int nProtocol, EEnd end, std::vector<std::pair<int, int>> ranges, bool bNegated);
// Conntrack's words: new, established, related, invalid, untracked.
FirewallMatch ConnectionState(std::vector<std::string> states, bool bNegated);
// Conntrack's status words: snat and dnat are known, the others may be set.
FirewallMatch ConnectionStatus(std::vector<std::string> statuses, bool bNegated);
FirewallMatch ConnectionDirection(const std::string& strDirection, bool bNegated);
// The routing's type of the destination address: local, unicast, broadcast, multicast, ...
FirewallMatch DestinationType(std::vector<std::string> types, bool bNegated);
FirewallMatch Always(ETruth truth);

// A protocol's number from its name or number; -1 when unknown.
int ProtocolNumber(const std::string& strName);
// "10.0.0.0/8", "10.0.0.1", "10.0.0.1-10.0.0.9"; false for anything else (IPv6 among them).
bool ParseAddressRange(const std::string& strText, SAddressRange& range);

} // namespace FirewallMatches
