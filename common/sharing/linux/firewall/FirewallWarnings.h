// SPDX-License-Identifier: GPL-3.0-or-later
// CFirewallWarnings: what the machine's other firewalls put in the way of a sharing, and of the
// LAN's clients on their way to the server, in the Log's words. The firewalls are read whole at
// each question (nftables as JSON with iptables-nft's xtables data, legacy iptables where the
// process may read it); one that cannot be read says nothing.
#pragma once

#include "FirewallCheck.h"
#include "NftRunner.h"

#include <functional>
#include <string>
#include <vector>

class CFirewallWarnings
{
public:
    // Whether the interface of that index is a dial-up link, as the sharing service counts them:
    // such links are not the LAN.
    using IsDialup = std::function<bool(int nIndex)>;

    // The table of the sharing service itself, left out of the reading.
    CFirewallWarnings(std::string strOwnTable, IsDialup isDialup);

    // A drop in any base chain of the forward hook is final, so no rule of ours can let the LAN
    // through another firewall that drops it: the user must be told where to let it through. With
    // a port, the LAN's clients on their way to it too, on the same reading.
    std::vector<std::string> AfterShare(const std::string& strUplink, int nClientPort);
    // Another firewall may masquerade the LAN out through the uplink by itself.
    std::vector<std::string> AfterUnshare(const std::string& strUplink);
    // The LAN's clients on their way to the port; the shared uplink, if any, is not the LAN.
    std::vector<std::string> ForClients(const std::string& strUplink, int nPort);

private:
    bool Read(CFirewallRuleset& ruleset);
    std::vector<CFirewallCheck::SInterface>
    ClientInterfaces(const std::vector<CFirewallCheck::SInterface>& interfaces,
                     const std::string& strUplink) const;
    static std::vector<CFirewallCheck::SInterface>
    Without(std::vector<CFirewallCheck::SInterface> interfaces, const std::string& strLeftOut);

    const std::string m_strOwnTable;
    const IsDialup m_IsDialup;
    CNftRunner m_Nft;
};
