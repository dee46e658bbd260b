// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel tells of one network interface, and how the sharing service shows it: the
// connection's name, media type and status.
#pragma once

#include "NetSharing.h"

#include <string>

struct SLinkAttributes {
    int nIndex = 0;
    std::string strName;
    std::string strAlias;
    unsigned short nType = 0;     // ARPHRD_*
    unsigned int nFlags = 0;      // IFF_*, with IFF_LOWER_UP and IFF_DORMANT
    unsigned char nOperState = 0; // IF_OPER_*
    std::string strKind;          // the link kind ("bridge", "tun", ...), empty for hardware
    std::string strDeviceType;    // the kernel's device type ("wwan", "wlan", ...), or empty
    // What the kernel tells of the device behind the link, where it does: its permanent
    // hardware address (hexadecimal) and its parent device (a modem's USB interface, say).
    std::string strPermanentAddress;
    std::string strParentDevice;

    bool IsLoopback() const;
    // Whether the kernel shows that another link is this one's device: the same link renamed,
    // or a link of the same parent device or permanent address, which PPP and veth lack.
    bool IsSameDeviceAs(const SLinkAttributes& other) const;
    // A mobile broadband link, raw IP or with Ethernet framing.
    bool IsMobileBroadband() const;
    // The alias when the interface has one, else its name; bytes that are not UTF-8 show as U+FFFD.
    std::wstring ConnectionName() const;
    NETCON_MEDIATYPE MediaType() const;
    NETCON_STATUS Status() const;
};
