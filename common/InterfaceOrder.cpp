// SPDX-License-Identifier: GPL-3.0-or-later
#include "InterfaceOrder.h"

#include <algorithm>

namespace
{

int Rank(const SLocalAddress& address)
{
    if (address.bLoopback)
        return 3;
    if (!address.bUp || address.bPointToPoint)
        return 2;
    return address.bPhysical ? 0 : 1;
}

} // namespace

void OrderLocalAddresses(std::vector<SLocalAddress>& addresses)
{
    std::stable_sort(
        addresses.begin(), addresses.end(),
        [](const SLocalAddress& a, const SLocalAddress& b) { return Rank(a) < Rank(b); });
}
