// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow's one nftables table: it masquerades forwarded IPv4 traffic that leaves through the
// shared interface, clamps the MSS of the connections that it opens to the route's MTU, and lets in
// through that interface only what answers such traffic. The masquerading rule's comment keeps
// whether IPv4 forwarding was on before sharing, so that a restarted server can still put it back.
// The table is read back as libnftables lists it in JSON.
#pragma once

#include "Com.h"
#include "NftRunner.h"

#include <string>

class CNftSharingTable
{
public:
    struct SState {
        // The table exists, whatever it holds (an emptied one holds no rule).
        bool bTable = false;
        // It masquerades: a connection is shared.
        bool bPresent = false;
        std::string strInterface;
        bool bForwardingWasOn = false;
        // Every rule of this version is there: a table left by an older one lacks some.
        bool bComplete = false;
    };

    // The commands that put the table in place of any earlier one, as one transaction.
    static std::string ReplaceCommands(const std::string& strInterface, bool bForwardingWasOn);
    // What a JSON listing of the table says; false when the listing is not of a table of ours.
    static bool ParseListing(const std::string& strListing, SState& state);
    // Names that the rules can carry as they stand: no quotes, no wildcards, as long as the
    // kernel allows.
    static bool IsSafeInterfaceName(const std::string& strName);
    // The table as the rule set names it: "family name".
    static const char* Name();

    // Reads the table back from the kernel; an absent table is not a failure.
    HRESULT Read(SState& state);
    HRESULT Replace(const std::string& strInterface, bool bForwardingWasOn);
    HRESULT Remove();
    // The first line of what nftables said when the last command failed; empty after a success.
    const std::string& LastError() const { return m_Nft.LastError(); }

private:
    CNftRunner m_Nft;
};
