// SPDX-License-Identifier: GPL-3.0-or-later
// What the machine's other firewalls do to a sharing, found by walking their rules: whether the
// LAN's new connections out through the shared uplink and the replies to them pass, whether LAN
// clients reach the server's port, and whether the LAN still gets out through the uplink once the
// sharing has stopped. Each finding is one sentence for the server's log.
#pragma once

#include "FirewallRuleset.h"

#include <string>
#include <vector>

class CFirewallCheck
{
public:
    struct SInterface {
        std::string strName;
        int nIndex = 0;
        std::uint32_t nAddress = 0; // host order; 0 when it has no IPv4 address
        SAddressRange Network;
    };

    // The interfaces that are up with an IPv4 address, loopback left out, in the kernel's order.
    static std::vector<SInterface> ReadInterfaces();
    // The interface of that name, whether or not it has an address.
    static SInterface Named(const std::string& strName, const std::vector<SInterface>& interfaces);

    static std::vector<std::string> SharedTraffic(const CFirewallRuleset& ruleset,
                                                  const std::vector<SInterface>& lans,
                                                  const SInterface& uplink);
    static std::vector<std::string> TrafficAfterUnshare(const CFirewallRuleset& ruleset,
                                                        const std::vector<SInterface>& lans,
                                                        const SInterface& uplink);
    static std::vector<std::string> ClientPort(const CFirewallRuleset& ruleset,
                                               const std::vector<SInterface>& lans, int nPort);
};
