// SPDX-License-Identifier: GPL-3.0-or-later
// record-firewall: reads `nft -j list ruleset` on standard input and writes it out with each
// xtables expression's revision and data from the kernel, for the firewall walk's tests:
//     ip netns exec NS sh -c 'nft -j list ruleset | record-firewall' > firewalls/NAME.json
#include "FirewallRecording.h"

#include <iostream>

int main()
{
    std::stringstream text;
    text << std::cin.rdbuf();
    nlohmann::json listing = nlohmann::json::parse(text.str(), nullptr, false);
    if (listing.is_discarded() || !listing.contains("nftables")) {
        std::cerr << "record-firewall: standard input is no JSON listing of nftables\n";
        return 1;
    }
    const CNftXtDump::XtMap xtMap = CNftXtDump::Read();
    for (nlohmann::json& object : listing["nftables"]) {
        if (!object.contains("rule"))
            continue;
        nlohmann::json& rule = object["rule"];
        const auto found = xtMap.find(CNftXtDump::Key(rule["family"], rule["table"], rule["chain"],
                                                      rule["handle"].get<unsigned long long>()));
        std::size_t nXt = 0;
        for (nlohmann::json& expression : rule["expr"]) {
            if (!expression.contains("xt") || found == xtMap.end() || nXt >= found->second.size())
                continue;
            expression["xt"]["revision"] = found->second[nXt].nRevision;
            expression["xt"]["data"] = FirewallRecording::Hex(found->second[nXt].Data);
            ++nXt;
        }
    }
    std::cout << listing.dump(1) << "\n";
    return 0;
}
