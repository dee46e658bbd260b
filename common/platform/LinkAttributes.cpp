// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkAttributes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <string_view>

namespace
{

constexpr wchar_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence that starts with this byte, 0 when no sequence starts so.
std::size_t SequenceLength(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// The code point of the sequence at the start of the text; false when it is cut, overlong or a
// surrogate.
bool DecodeSequence(std::string_view text, std::size_t nLength, wchar_t& c)
{
    constexpr std::array<std::uint32_t, 5> kLeadMask = {0, 0x7F, 0x1F, 0x0F, 0x07};
    constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    if (nLength == 0 || nLength > text.size())
        return false;
    std::uint32_t nCode = static_cast<unsigned char>(text[0]) & kLeadMask[nLength];
    for (std::size_t i = 1; i < nLength; ++i) {
        const auto cNext = static_cast<unsigned char>(text[i]);
        if ((cNext & 0xC0) != 0x80)
            return false;
        nCode = (nCode << 6) | (cNext & 0x3F);
    }
    if (nCode < kSmallest[nLength] || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF))
        return false;
    c = static_cast<wchar_t>(nCode);
    return true;
}

std::wstring WideFromUtf8(std::string_view text)
{
    std::wstring strWide;
    strWide.reserve(text.size());
    while (!text.empty()) {
        const std::size_t nLength = SequenceLength(static_cast<unsigned char>(text[0]));
        wchar_t c = kReplacement;
        // A broken sequence costs only its first byte, so that what follows still reads.
        const bool bDecoded = DecodeSequence(text, nLength, c);
        strWide.push_back(bDecoded ? c : kReplacement);
        text.remove_prefix(bDecoded ? nLength : 1);
    }
    return strWide;
}

bool IsTunnelType(unsigned short nType)
{
    switch (nType) {
    case ARPHRD_NONE: // tun and WireGuard devices carry bare IP
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_IP6GRE:
        return true;
    default:
        return false;
    }
}

// Kinds of Ethernet-framed devices that are tunnels all the same.
bool IsTunnelKind(const std::string& strKind)
{
    static constexpr std::array<std::string_view, 7> kKinds = {
        "tun", "wireguard", "vxlan", "geneve", "gretap", "ip6gretap", "ipip"};
    return std::find(kKinds.begin(), kKinds.end(), strKind) != kKinds.end();
}

} // namespace

bool SLinkAttributes::IsLoopback() const
{
    return nType == ARPHRD_LOOPBACK || (nFlags & IFF_LOOPBACK) != 0;
}

std::wstring SLinkAttributes::ConnectionName() const
{
    return WideFromUtf8(strAlias.empty() ? strName : strAlias);
}

bool SLinkAttributes::IsMobileBroadband() const
{
    return strDeviceType == "wwan" || strKind == "wwan";
}

NETCON_MEDIATYPE SLinkAttributes::MediaType() const
{
    // A modem's link to its provider is dial-up, whatever its framing.
    if (nType == ARPHRD_PPP || IsMobileBroadband())
        return NCM_PHONE;
    if (strKind == "bridge")
        return NCM_BRIDGE;
    if (IsTunnelType(nType) || IsTunnelKind(strKind))
        return NCM_TUNNEL;
    if (nType == ARPHRD_ETHER || nType == ARPHRD_IEEE80211)
        return NCM_LAN;
    return NCM_NONE;
}

NETCON_STATUS SLinkAttributes::Status() const
{
    if (nOperState == IF_OPER_NOTPRESENT)
        return NCS_HARDWARE_NOT_PRESENT;
    if ((nFlags & IFF_UP) == 0)
        return NCS_DISCONNECTED;
    if (nOperState == IF_OPER_DORMANT)
        return NCS_CONNECTING;
    // Virtual devices that cannot tell their carrier run with an unknown operational state.
    if (nOperState == IF_OPER_UP || (nFlags & IFF_RUNNING) != 0)
        return NCS_CONNECTED;
    return NCS_MEDIA_DISCONNECTED;
}
