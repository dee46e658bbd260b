// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirewallWarnings.h"

#include "IptablesLegacyReader.h"
#include "NftFirewallReader.h"

#include <algorithm>

CFirewallWarnings::CFirewallWarnings(std::string strOwnTable, IsDialup isDialup)
    : m_strOwnTable(std::move(strOwnTable)), m_IsDialup(std::move(isDialup))
{
}

std::vector<std::string> CFirewallWarnings::AfterShare(const std::string& strUplink,
                                                       int nClientPort)
{
    CFirewallRuleset ruleset;
    if (!Read(ruleset))
        return {};
    const std::vector<CFirewallCheck::SInterface> interfaces = CFirewallCheck::ReadInterfaces();
    std::vector<std::string> warnings = CFirewallCheck::SharedTraffic(
        ruleset, Without(interfaces, strUplink), CFirewallCheck::Named(strUplink, interfaces));
    if (nClientPort > 0) {
        const std::vector<std::string> clients = CFirewallCheck::ClientPort(
            ruleset, ClientInterfaces(interfaces, strUplink), nClientPort);
        warnings.insert(warnings.end(), clients.begin(), clients.end());
    }
    return warnings;
}

std::vector<std::string> CFirewallWarnings::AfterUnshare(const std::string& strUplink)
{
    CFirewallRuleset ruleset;
    if (!Read(ruleset))
        return {};
    const std::vector<CFirewallCheck::SInterface> interfaces = CFirewallCheck::ReadInterfaces();
    return CFirewallCheck::TrafficAfterUnshare(ruleset, Without(interfaces, strUplink),
                                               CFirewallCheck::Named(strUplink, interfaces));
}

std::vector<std::string> CFirewallWarnings::ForClients(const std::string& strUplink, int nPort)
{
    CFirewallRuleset ruleset;
    if (!Read(ruleset))
        return {};
    return CFirewallCheck::ClientPort(
        ruleset, ClientInterfaces(CFirewallCheck::ReadInterfaces(), strUplink), nPort);
}

// Every other ip and inet table, iptables-nft's among them, and legacy iptables' tables.
bool CFirewallWarnings::Read(CFirewallRuleset& ruleset)
{
    const bool bNftables = SUCCEEDED(m_Nft.Run("list ruleset", CNftRunner::EAbsence::Fails,
                                               CNftRunner::EOutput::Json)) &&
                           CNftFirewallReader::Parse(m_Nft.Output(), m_strOwnTable, ruleset);
    CIptablesLegacyReader::Read(ruleset);
    return bNftables || !ruleset.IsEmpty();
}

// Where clients come from: the LAN, not the shared uplink or another dial-up link.
std::vector<CFirewallCheck::SInterface>
CFirewallWarnings::ClientInterfaces(const std::vector<CFirewallCheck::SInterface>& interfaces,
                                    const std::string& strUplink) const
{
    std::vector<CFirewallCheck::SInterface> lans = Without(interfaces, strUplink);
    std::erase_if(lans,
                  [this](const CFirewallCheck::SInterface& lan) { return m_IsDialup(lan.nIndex); });
    return lans;
}

std::vector<CFirewallCheck::SInterface>
CFirewallWarnings::Without(std::vector<CFirewallCheck::SInterface> interfaces,
                           const std::string& strLeftOut)
{
    std::erase_if(interfaces, [&strLeftOut](const CFirewallCheck::SInterface& candidate) {
        return candidate.strName == strLeftOut;
    });
    return interfaces;
}
