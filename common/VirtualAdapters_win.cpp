// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper lists each adapter with its addresses; its interface row says whether a connector
// is present and whether it is hardware, which a Hyper-V, WSL or VPN adapter is not.
#include "InterfaceOrder.h"

#include "AdapterList_win.h"

#include <set>
#include <string>

namespace
{

bool IsPhysical(NET_IFINDEX nIndex)
{
    MIB_IF_ROW2 row{};
    row.InterfaceIndex = nIndex;
    return GetIfEntry2(&row) == NO_ERROR && row.InterfaceAndOperStatusFlags.HardwareInterface &&
           row.InterfaceAndOperStatusFlags.ConnectorPresent;
}

// The addresses of the adapters that have no physical connector.
std::set<std::string> VirtualAddresses()
{
    std::set<std::string> virtualAddresses;
    const CAdapterList adapters;
    for (const IP_ADAPTER_ADDRESSES* pAdapter = adapters.First(); pAdapter != nullptr;
         pAdapter = pAdapter->Next) {
        if (IsPhysical(pAdapter->IfIndex))
            continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* pUnicast = pAdapter->FirstUnicastAddress;
             pUnicast != nullptr; pUnicast = pUnicast->Next) {
            char cText[INET_ADDRSTRLEN] = {};
            const auto* pAddress =
                reinterpret_cast<const sockaddr_in*>(pUnicast->Address.lpSockaddr);
            if (pAddress != nullptr && pAddress->sin_family == AF_INET &&
                inet_ntop(AF_INET, &pAddress->sin_addr, cText, sizeof cText) != nullptr)
                virtualAddresses.insert(cText);
        }
    }
    return virtualAddresses;
}

} // namespace

void MarkVirtualAdapters(std::vector<SLocalAddress>& addresses)
{
    const std::set<std::string> virtualAddresses = VirtualAddresses();
    for (SLocalAddress& address : addresses)
        address.bPhysical = virtualAddresses.count(address.strAddress) == 0;
}
