// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirewallCheck.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

namespace
{

std::uint32_t HostOrder(const sockaddr* pAddress)
{
    return ntohl(reinterpret_cast<const sockaddr_in*>(pAddress)->sin_addr.s_addr);
}

void AddOnce(std::vector<std::string>& sentences, const std::string& strSentence)
{
    if (std::find(sentences.begin(), sentences.end(), strSentence) == sentences.end())
        sentences.push_back(strSentence);
}

// A packet that comes in through one interface and, unless it is for the machine, leaves through
// the other.
SFirewallPacket Through(const CFirewallCheck::SInterface& in, const CFirewallCheck::SInterface& out)
{
    SFirewallPacket packet;
    packet.strInInterface = in.strName;
    packet.nInIndex = in.nIndex;
    packet.strOutInterface = out.strName;
    packet.nOutIndex = out.nIndex;
    return packet;
}

// A new connection from a host of the LAN out through the uplink, to anywhere.
SFirewallPacket OutFrom(const CFirewallCheck::SInterface& lan,
                        const CFirewallCheck::SInterface& uplink)
{
    SFirewallPacket packet = Through(lan, uplink);
    packet.Source = lan.Network;
    return packet;
}

// A reply to that connection, coming back through the uplink after masquerading.
SFirewallPacket ReplyTo(const CFirewallCheck::SInterface& lan,
                        const CFirewallCheck::SInterface& uplink)
{
    SFirewallPacket packet = Through(uplink, lan);
    packet.Destination = lan.Network;
    packet.bNew = false;
    packet.bSourceNatted = true;
    return packet;
}

} // namespace

std::vector<CFirewallCheck::SInterface> CFirewallCheck::ReadInterfaces()
{
    std::vector<SInterface> interfaces;
    ifaddrs* pList = nullptr;
    if (::getifaddrs(&pList) != 0)
        return interfaces;
    for (const ifaddrs* p = pList; p != nullptr; p = p->ifa_next) {
        if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET ||
            (p->ifa_flags & IFF_UP) == 0 || (p->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        SInterface lan{p->ifa_name,
                       static_cast<int>(::if_nametoindex(p->ifa_name)),
                       HostOrder(p->ifa_addr),
                       {}};
        const std::uint32_t nMask = p->ifa_netmask != nullptr ? HostOrder(p->ifa_netmask) : ~0U;
        lan.Network = {lan.nAddress & nMask, (lan.nAddress & nMask) | ~nMask};
        interfaces.push_back(lan);
    }
    ::freeifaddrs(pList);
    return interfaces;
}

CFirewallCheck::SInterface CFirewallCheck::Named(const std::string& strName,
                                                 const std::vector<SInterface>& interfaces)
{
    for (const SInterface& candidate : interfaces) {
        if (candidate.strName == strName)
            return candidate;
    }
    return SInterface{strName, static_cast<int>(::if_nametoindex(strName.c_str())), 0, {}};
}

std::vector<std::string> CFirewallCheck::SharedTraffic(const CFirewallRuleset& ruleset,
                                                       const std::vector<SInterface>& lans,
                                                       const SInterface& uplink)
{
    std::vector<std::string> sentences;
    for (const SInterface& lan : lans) {
        for (const SFirewallPacket& packet : {OutFrom(lan, uplink), ReplyTo(lan, uplink)}) {
            if (const auto stop = ruleset.FindStop("forward", packet))
                AddOnce(sentences, "Shared traffic is dropped by the firewall's " + stop->Text());
        }
    }
    return sentences;
}

std::vector<std::string> CFirewallCheck::TrafficAfterUnshare(const CFirewallRuleset& ruleset,
                                                             const std::vector<SInterface>& lans,
                                                             const SInterface& uplink)
{
    std::vector<std::string> sentences;
    for (const SInterface& lan : lans) {
        const SFirewallPacket packet = OutFrom(lan, uplink);
        if (ruleset.FindStop("forward", packet))
            continue;
        if (const auto table = ruleset.FindSourceNat(packet))
            AddOnce(sentences, "LAN traffic still goes out through " + uplink.strName +
                                   ", masqueraded by the firewall's table " + *table);
    }
    return sentences;
}

std::vector<std::string> CFirewallCheck::ClientPort(const CFirewallRuleset& ruleset,
                                                    const std::vector<SInterface>& lans, int nPort)
{
    std::vector<std::string> sentences;
    for (const SInterface& lan : lans) {
        SFirewallPacket packet = Through(lan, SInterface{});
        packet.Source = lan.Network;
        packet.Destination = {lan.nAddress, lan.nAddress};
        packet.nDestinationPort = nPort;
        packet.bToLocal = true;
        if (const auto stop = ruleset.FindStop("input", packet))
            AddOnce(sentences, "Clients cannot reach port " + std::to_string(nPort) +
                                   ": the firewall's " + stop->Text() + " stops them");
    }
    return sentences;
}
