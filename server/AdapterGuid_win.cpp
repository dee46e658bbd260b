// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper lists each adapter with its addresses and its name, which is its GUID in braces.
#include "AdapterGuid.h"

#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <vector>

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
    ULONG nBytes = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG nResult = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the two calls.
    for (int nTry = 0; nTry < 3 && nResult == ERROR_BUFFER_OVERFLOW; ++nTry) {
        buffer.resize(nBytes);
        nResult = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &nBytes);
    }
    if (nResult != NO_ERROR)
        return std::string();
    for (const auto* pAdapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         pAdapter != nullptr; pAdapter = pAdapter->Next) {
        if (HasAddress(*pAdapter, address))
            return pAdapter->AdapterName != nullptr ? pAdapter->AdapterName : std::string();
    }
    return std::string();
}
