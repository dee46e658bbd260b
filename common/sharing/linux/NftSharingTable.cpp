// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftSharingTable.h"

#include <cctype>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string_view>

namespace
{

constexpr std::string_view kTable = "ip tarnlow";
constexpr std::string_view kTableFamily = "ip";
constexpr std::string_view kTableName = "tarnlow";
constexpr std::string_view kCommentPrefix = "Tarnlow Server; IPv4 forwarding was ";
constexpr std::string_view kForwardingOn = "on";
constexpr std::string_view kForwardingOff = "off";
// The kernel's longest interface name (IFNAMSIZ less its NUL).
constexpr std::size_t kMaxInterfaceName = 15;
// The forward chain's rules: the MSS clamp, the answers let in, the rest dropped.
constexpr std::size_t kForwardRules = 3;

// Removes the table in a transaction, whether or not it is there: adding first makes the delete
// succeed either way.
std::string RemoveCommands()
{
    std::ostringstream commands;
    commands << "add table " << kTable << "\n"
             << "delete table " << kTable << "\n";
    return commands.str();
}

using json = nlohmann::json;

// The interface of the masquerading rule of our postrouting chain, and the rule's comment.
bool ReadMasquerade(const json& rule, std::string& strInterface, std::string& strComment)
{
    const json expressions = rule.value("expr", json::array());
    if (rule.value("chain", std::string()) != "postrouting" || expressions.size() != 2 ||
        !expressions[1].contains("masquerade") || !expressions[0].contains("match"))
        return false;
    const json& match = expressions[0]["match"];
    if (match.value("left", json()) != json{{"meta", {{"key", "oifname"}}}} ||
        !match.value("right", json()).is_string())
        return false;
    strInterface = match["right"].get<std::string>();
    strComment = rule.value("comment", std::string());
    return true;
}

// Whether the rule sets the MSS of TCP's SYNs to the route's MTU.
bool ClampsMss(const json& rule)
{
    for (const json& expression : rule.value("expr", json::array())) {
        const json mangle = expression.is_object() ? expression.value("mangle", json()) : json();
        if (mangle.is_object() &&
            mangle.value("key", json()) ==
                json{{"tcp option", {{"name", "maxseg"}, {"field", "size"}}}} &&
            mangle.value("value", json()) == json{{"rt", {{"key", "mtu"}}}})
            return true;
    }
    return false;
}

// What one object of the listing says of our table.
void ReadObject(const json& object, CNftSharingTable::SState& state, std::string& strComment,
                std::size_t& nForwardRules, bool& bClamps)
{
    if (!object.is_object())
        return;
    const json table = object.value("table", json());
    if (table.is_object() && table.value("family", std::string()) == kTableFamily &&
        table.value("name", std::string()) == kTableName)
        state.bTable = true;
    const json rule = object.value("rule", json());
    if (!rule.is_object() || rule.value("family", std::string()) != kTableFamily ||
        rule.value("table", std::string()) != kTableName)
        return;
    if (rule.value("chain", std::string()) == "forward") {
        ++nForwardRules;
        bClamps = bClamps || ClampsMss(rule);
    } else if (state.strInterface.empty()) {
        ReadMasquerade(rule, state.strInterface, strComment);
    }
}

} // namespace

std::string CNftSharingTable::ReplaceCommands(const std::string& strInterface,
                                              bool bForwardingWasOn)
{
    const std::string strQuoted = '"' + strInterface + '"';
    const std::string strComment = std::string("\"") + std::string(kCommentPrefix) +
                                   std::string(bForwardingWasOn ? kForwardingOn : kForwardingOff) +
                                   "\"";
    std::ostringstream commands;
    commands << RemoveCommands() << "table " << kTable << " {\n"
             << "\tcomment " << strComment << "\n"
             << "\tchain postrouting {\n"
             << "\t\ttype nat hook postrouting priority srcnat; policy accept;\n"
             << "\t\toifname " << strQuoted << " masquerade comment " << strComment << "\n"
             << "\t}\n"
             << "\tchain forward {\n"
             << "\t\ttype filter hook forward priority filter; policy accept;\n"
             // Where the uplink's MTU is small (PPP, a mobile link) and path MTU discovery is
             // blocked beyond it, connections stall unless the far side sends smaller segments.
             << "\t\toifname " << strQuoted
             << " tcp flags & (syn | rst) == syn tcp option maxseg size set rt mtu\n"
             << "\t\tiifname " << strQuoted << " ct state established,related accept\n"
             << "\t\tiifname " << strQuoted << " drop\n"
             << "\t}\n"
             << "}\n";
    return commands.str();
}

bool CNftSharingTable::ParseListing(const std::string& strListing, SState& state)
{
    state = SState{};
    const json listing = json::parse(strListing, nullptr, false);
    if (listing.is_discarded() || !listing.is_object() ||
        !listing.value("nftables", json()).is_array())
        return false;
    std::string strComment;
    std::size_t nForwardRules = 0;
    bool bClamps = false;
    // A listing of an unexpected shape is no sharing of ours, and never thrown out of here.
    try {
        for (const json& object : listing["nftables"])
            ReadObject(object, state, strComment, nForwardRules, bClamps);
    } catch (const json::exception&) {
        state = SState{};
        return false;
    }
    state.bPresent = !state.strInterface.empty();
    state.bComplete = state.bPresent && bClamps && nForwardRules == kForwardRules;
    // A table made before the rule kept the comment cannot tell: forwarding is then left on.
    state.bForwardingWasOn =
        !strComment.starts_with(kCommentPrefix) ||
        std::string_view(strComment).substr(kCommentPrefix.size()) == kForwardingOn;
    return state.bPresent;
}

bool CNftSharingTable::IsSafeInterfaceName(const std::string& strName)
{
    if (strName.empty() || strName.size() > kMaxInterfaceName)
        return false;
    for (const char c : strName) {
        const bool bSafe = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' ||
                           c == '_' || c == '-' || c == '@' || c == '+';
        if (!bSafe)
            return false;
    }
    return true;
}

const char* CNftSharingTable::Name()
{
    return kTable.data();
}

HRESULT CNftSharingTable::Read(SState& state)
{
    state = SState{};
    const HRESULT hr = m_Nft.Run("list table " + std::string(kTable), CNftRunner::EAbsence::Allowed,
                                 CNftRunner::EOutput::Json);
    if (hr == S_FALSE)
        return S_OK;
    if (FAILED(hr))
        return hr;
    // An emptied table shares nothing; anything but a listing is a failure.
    return ParseListing(m_Nft.Output(), state) || state.bTable ? S_OK : E_FAIL;
}

HRESULT CNftSharingTable::Replace(const std::string& strInterface, bool bForwardingWasOn)
{
    if (!IsSafeInterfaceName(strInterface))
        return E_INVALIDARG;
    return m_Nft.Run(ReplaceCommands(strInterface, bForwardingWasOn));
}

HRESULT CNftSharingTable::Remove()
{
    return m_Nft.Run(RemoveCommands());
}
