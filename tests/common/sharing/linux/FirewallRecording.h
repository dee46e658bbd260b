// SPDX-License-Identifier: GPL-3.0-or-later
// A firewall's rule set as a test keeps it: libnftables' JSON listing, in which each xtables
// expression also carries its revision and its data in hex, as the kernel held them.
// record-firewall writes one from the machine's (or a namespace's) rule set; Load gives it back as
// the sharing service would have read it.
#pragma once

#include "FirewallRuleset.h"
#include "NftFirewallReader.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace FirewallRecording
{

inline std::string Hex(const std::vector<unsigned char>& data)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string strHex;
    for (const unsigned char c : data) {
        strHex += kDigits[c >> 4];
        strHex += kDigits[c & 0x0f];
    }
    return strHex;
}

inline std::vector<unsigned char> Bytes(const std::string& strHex)
{
    std::vector<unsigned char> data;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += 2)
        data.push_back(static_cast<unsigned char>(std::stoi(strHex.substr(i, 2), nullptr, 16)));
    return data;
}

// The xtables data of the recorded rules, as CNftXtDump reads it from the kernel.
inline CNftXtDump::XtMap XtOf(const nlohmann::json& listing)
{
    CNftXtDump::XtMap xtMap;
    for (const nlohmann::json& object : listing["nftables"]) {
        if (!object.contains("rule"))
            continue;
        const nlohmann::json& rule = object["rule"];
        std::vector<CNftXtDump::SXtData> xts;
        for (const nlohmann::json& expression : rule["expr"]) {
            if (expression.contains("xt"))
                xts.push_back({expression["xt"]["type"] == "target", expression["xt"]["name"],
                               expression["xt"].value("revision", 0),
                               Bytes(expression["xt"].value("data", std::string()))});
        }
        if (!xts.empty())
            xtMap[CNftXtDump::Key(rule["family"], rule["table"], rule["chain"],
                                  rule["handle"].get<unsigned long long>())] = xts;
    }
    return xtMap;
}

inline bool Load(const std::string& strPath, CFirewallRuleset& ruleset)
{
    std::ifstream file(strPath);
    std::stringstream text;
    text << file.rdbuf();
    const nlohmann::json listing = nlohmann::json::parse(text.str(), nullptr, false);
    return !listing.is_discarded() &&
           CNftFirewallReader::Parse(text.str(), XtOf(listing), "ip tarnlow", ruleset);
}

} // namespace FirewallRecording
