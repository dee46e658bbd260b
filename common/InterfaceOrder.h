// SPDX-License-Identifier: GPL-3.0-or-later
// The order of the machine's own addresses, whose first (entry 0) the programs take as the
// machine's own: the LAN's. Interfaces that are up and neither loopback nor point-to-point come
// first, those of adapters with a physical connector before the virtual ones (on Windows a
// Hyper-V, WSL or VPN adapter is up with an address of its own too); then point-to-point links
// (a dial-up or mobile link) and interfaces that are down; then loopback. Within each group the
// system's order holds, so where no physical adapter has an address (a Hyper-V external switch
// moves the LAN's address onto its virtual adapter) the virtual ones come in that order.
#pragma once

#include <string>
#include <vector>

struct SLocalAddress {
    std::string strAddress;
    bool bUp = false;
    bool bPointToPoint = false;
    bool bLoopback = false;
    // Where the system does not tell (Linux, whose LAN may well be a bridge, a virtual
    // interface), every interface counts as physical.
    bool bPhysical = true;
};

void OrderLocalAddresses(std::vector<SLocalAddress>& addresses);
// Marks the addresses of adapters without a physical connector, as far as the system tells.
void MarkVirtualAdapters(std::vector<SLocalAddress>& addresses);
