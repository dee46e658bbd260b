// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow's one nftables table: it masquerades forwarded IPv4 traffic that leaves through the
// shared interface, and lets in through that interface only what answers such traffic. Its
// comment keeps whether IPv4 forwarding was on before sharing, so that a restarted server can
// still put it back.
#pragma once

#include "Com.h"

#include <string>
#include <vector>

struct nft_ctx;

class CNftSharingTable
{
public:
    struct SState {
        bool bPresent = false;
        std::string strInterface;
        bool bForwardingWasOn = false;
    };

    CNftSharingTable();
    ~CNftSharingTable();
    CNftSharingTable(const CNftSharingTable&) = delete;
    CNftSharingTable& operator=(const CNftSharingTable&) = delete;

    // The commands that put the table in place of any earlier one, as one transaction.
    static std::string ReplaceCommands(const std::string& strInterface, bool bForwardingWasOn);
    // What a listing of the table says; false when the listing is not of a table of ours.
    static bool ParseListing(const std::string& strListing, SState& state);
    // The base chains of other tables on the forward hook that would drop forwarded IPv4 traffic,
    // as "table FAMILY NAME, chain NAME", from a listing of the rule set. A chain counts when its
    // policy is drop and none of its rules can let traffic through (accept, jump or goto): a
    // drop there is final whatever our table allows, while a chain with such rules is given the
    // benefit of the doubt.
    static std::vector<std::string> ParseForwardDrops(const std::string& strRuleset);
    // Names that the rules can carry as they stand: no quotes, no wildcards, as long as the
    // kernel allows.
    static bool IsSafeInterfaceName(const std::string& strName);

    // Reads the table back from the kernel; an absent table is not a failure.
    HRESULT Read(SState& state);
    HRESULT Replace(const std::string& strInterface, bool bForwardingWasOn);
    HRESULT Remove();
    HRESULT FindForwardDrops(std::vector<std::string>& chains);

private:
    HRESULT Run(const std::string& strCommands, bool bAbsentIsFailure = true);

    nft_ctx* m_pContext;
    std::string m_strOutput;
};
