// SPDX-License-Identifier: GPL-3.0-or-later
// CClientList: which LAN clients may use the desktop protocol, as the settings' "clients" says:
// "any" (the default), "none" (the page only), or IPv4 addresses and subnets separated by commas,
// "10.0.0.5, 10.0.1.0/24".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CClientList
{
public:
    // A longer list is no list of a LAN's clients.
    static constexpr std::size_t kMaxEntries = 64;

    // False with the reason, and the list as it was.
    bool Parse(const std::string& strText, std::string& strError);
    // The address in network order, as sockaddr_in holds it.
    bool Admits(std::uint32_t nNetworkAddress) const;

private:
    struct SNet {
        std::uint32_t nAddress = 0;
        std::uint32_t nMask = 0;
    };
    static bool ParseNet(const std::string& strText, SNet& net);

    bool m_bAny = true;
    // Empty and not any: none.
    std::vector<SNet> m_Nets;
};
