// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientList.h"

#include "Format.h"
#include "WinSock.h"

#include <algorithm>
#include <charconv>

namespace
{

constexpr const char* kSpaces = " \t";

// A decimal number within the bound, all of the text and nothing else.
bool ParseNumber(const std::string& strText, unsigned nMax, unsigned& nNumber)
{
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, nNumber);
    return !strText.empty() && strText.size() <= 3 && error == std::errc() && pStop == pEnd &&
           nNumber <= nMax;
}

} // namespace

bool CClientList::Parse(const std::string& strText, std::string& strError)
{
    const std::string strList = Trimmed(strText, kSpaces);
    if (strList == "any" || strList == "none") {
        m_bAny = strList == "any";
        m_Nets.clear();
        return true;
    }
    std::vector<SNet> nets;
    for (std::size_t nAt = 0; nAt <= strList.size();) {
        const std::size_t nEnd = std::min(strList.find(',', nAt), strList.size());
        const std::string strNet = Trimmed(strList.substr(nAt, nEnd - nAt), kSpaces);
        nAt = nEnd + 1;
        SNet net;
        if (!ParseNet(strNet, net)) {
            strError = std::string(1, '"').append(strNet, 0, 40);
            strError += "\" is not an IPv4 address or subnet (clients are \"any\", \"none\", or "
                        "addresses and subnets separated by commas)";
            return false;
        }
        nets.push_back(net);
    }
    if (nets.size() > kMaxEntries) {
        strError = "more than 64 addresses and subnets";
        return false;
    }
    m_bAny = false;
    m_Nets = std::move(nets);
    return true;
}

// Dotted decimal, four numbers, and an optional prefix length; the address is kept in network
// order, as the socket gives a client's.
bool CClientList::ParseNet(const std::string& strText, SNet& net)
{
    const std::size_t nSlash = strText.find('/');
    unsigned nPrefix = 32;
    if (nSlash != std::string::npos && !ParseNumber(strText.substr(nSlash + 1), 32, nPrefix))
        return false;
    const std::string strAddress = strText.substr(0, nSlash);
    std::uint32_t nHost = 0;
    std::size_t nAt = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t nDot = i < 3 ? strAddress.find('.', nAt) : strAddress.size();
        unsigned nPart = 0;
        if (nDot == std::string::npos ||
            !ParseNumber(strAddress.substr(nAt, nDot - nAt), 255, nPart))
            return false;
        nHost = (nHost << 8) | nPart;
        nAt = nDot + 1;
    }
    const std::uint32_t nMask = nPrefix == 0 ? 0 : ~std::uint32_t{0} << (32 - nPrefix);
    net.nMask = Winsock::htonl(nMask);
    net.nAddress = Winsock::htonl(nHost & nMask);
    return true;
}

bool CClientList::Admits(std::uint32_t nNetworkAddress) const
{
    if (m_bAny)
        return true;
    for (const SNet& net : m_Nets)
        if ((nNetworkAddress & net.nMask) == net.nAddress)
            return true;
    return false;
}
