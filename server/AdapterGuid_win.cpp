// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper lists each adapter with its addresses and its name, which is its GUID in braces.
#include "AdapterGuid.h"

#include "AdapterList_win.h"

namespace
{

bool HasAddress(const IP_ADAPTER_ADDRESSES& adapter, const in_addr& address)
{
    for (const IP_ADAPTER_UNICAST_ADDRESS* pUnicast = adapter.FirstUnicastAddress;
         pUnicast != nullptr; pUnicast = pUnicast->Next) {
        const sockaddr* pAddress = pUnicast->Address.lpSockaddr;
        if (pAddress != nullptr && pAddress->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(pAddress)->sin_addr.s_addr == address.s_addr)
            return true;
    }
    return false;
}

} // namespace

std::string AdapterGuidOf(const std::string& strAddress)
{
    in_addr address{};
    if (inet_pton(AF_INET, strAddress.c_str(), &address) != 1)
        return std::string();
    const CAdapterList adapters;
    for (const IP_ADAPTER_ADDRESSES* pAdapter = adapters.First(); pAdapter != nullptr;
         pAdapter = pAdapter->Next) {
        if (HasAddress(*pAdapter, address))
            return pAdapter->AdapterName != nullptr ? pAdapter->AdapterName : std::string();
    }
    return std::string();
}
