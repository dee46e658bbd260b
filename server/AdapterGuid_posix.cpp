// SPDX-License-Identifier: GPL-3.0-or-later
// The interface that has the address is the adapter; its GUID carries its name (IpHelper).
#include "AdapterGuid.h"

#include "GuidText.h"
#include "IpHelper.h"
#include "WinSock.h"

#include <ifaddrs.h>

std::string AdapterGuidOf(const std::string& strAddress)
{
    in_addr address{};
    ifaddrs* pList = nullptr;
    if (::inet_pton(AF_INET, strAddress.c_str(), &address) != 1 || ::getifaddrs(&pList) != 0)
        return std::string();
    std::string strGuid;
    for (const ifaddrs* pEntry = pList; pEntry != nullptr && strGuid.empty();
         pEntry = pEntry->ifa_next) {
        const auto* pAddress = reinterpret_cast<const sockaddr_in*>(pEntry->ifa_addr);
        if (pAddress != nullptr && pAddress->sin_family == AF_INET &&
            pAddress->sin_addr.s_addr == address.s_addr)
            strGuid = GuidText(InterfaceGuid(pEntry->ifa_name));
    }
    ::freeifaddrs(pList);
    return strGuid;
}
