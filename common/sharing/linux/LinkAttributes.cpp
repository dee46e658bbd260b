// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkAttributes.h"

#include "CodePageText.h"

#include <algorithm>
#include <array>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <string_view>

namespace
{

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

bool SLinkAttributes::IsSameDeviceAs(const SLinkAttributes& other) const
{
    return (nIndex != 0 && nIndex == other.nIndex) ||
           (!strParentDevice.empty() && strParentDevice == other.strParentDevice) ||
           (!strPermanentAddress.empty() && strPermanentAddress == other.strPermanentAddress);
}

bool SLinkAttributes::IsLoopback() const
{
    return nType == ARPHRD_LOOPBACK || (nFlags & IFF_LOOPBACK) != 0;
}

std::wstring SLinkAttributes::ConnectionName() const
{
    return WideText(strAlias.empty() ? strName : strAlias);
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
