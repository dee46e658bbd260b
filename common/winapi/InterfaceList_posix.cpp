// SPDX-License-Identifier: GPL-3.0-or-later
// The interface list query of our Winsock: the machine's IPv4 interfaces from getifaddrs, as
// Winsock's INTERFACE_INFO records.
#include "WinSockLayer_posix.h"

#include "NetDeviceType_posix.h"

#include <algorithm>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>

namespace
{

// Windows flag values of INTERFACE_INFO, which differ from the kernel's.
constexpr std::uint32_t kInterfaceUp = 0x01;
constexpr std::uint32_t kInterfaceBroadcast = 0x02;
constexpr std::uint32_t kInterfaceLoopback = 0x04;
constexpr std::uint32_t kInterfacePointToPoint = 0x08;
constexpr std::uint32_t kInterfaceMulticast = 0x10;

bool IsLoopback(const ifaddrs& entry)
{
    const auto* pAddress = reinterpret_cast<const sockaddr_in*>(entry.ifa_addr);
    return (entry.ifa_flags & IFF_LOOPBACK) != 0 || (ntohl(pAddress->sin_addr.s_addr) >> 24) == 127;
}

INTERFACE_INFO MakeInterfaceInfo(const ifaddrs& entry)
{
    INTERFACE_INFO info{};
    info.iiFlags = kInterfaceUp;
    if ((entry.ifa_flags & IFF_BROADCAST) != 0)
        info.iiFlags |= kInterfaceBroadcast;
    if ((entry.ifa_flags & IFF_LOOPBACK) != 0)
        info.iiFlags |= kInterfaceLoopback;
    // A mobile broadband link with Ethernet framing is the modem's link all the same.
    if ((entry.ifa_flags & IFF_POINTOPOINT) != 0 || NetDeviceType(entry.ifa_name) == "wwan")
        info.iiFlags |= kInterfacePointToPoint;
    if ((entry.ifa_flags & IFF_MULTICAST) != 0)
        info.iiFlags |= kInterfaceMulticast;
    std::memcpy(&info.iiAddress.AddressIn, entry.ifa_addr, sizeof(sockaddr_in));
    if (entry.ifa_netmask != nullptr)
        std::memcpy(&info.iiNetmask.AddressIn, entry.ifa_netmask, sizeof(sockaddr_in));
    if (entry.ifa_broadaddr != nullptr)
        std::memcpy(&info.iiBroadcastAddress.AddressIn, entry.ifa_broadaddr, sizeof(sockaddr_in));
    return info;
}

// The IPv4 interfaces that are up, in the kernel's order but with loopback after all others:
// the first entry is taken as the machine's own address.
std::vector<INTERFACE_INFO> ListInterfaces()
{
    std::vector<INTERFACE_INFO> others;
    std::vector<INTERFACE_INFO> loopbacks;
    ifaddrs* pList = nullptr;
    if (::getifaddrs(&pList) != 0)
        return others;
    for (const ifaddrs* p = pList; p != nullptr; p = p->ifa_next) {
        if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET ||
            (p->ifa_flags & IFF_UP) == 0)
            continue;
        (IsLoopback(*p) ? loopbacks : others).push_back(MakeInterfaceInfo(*p));
    }
    ::freeifaddrs(pList);
    others.insert(others.end(), loopbacks.begin(), loopbacks.end());
    return others;
}

} // namespace

namespace WinsockLayer
{

int GetInterfaceList(LPVOID lpvOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbBytesReturned)
{
    if (lpvOutBuffer == nullptr || lpcbBytesReturned == nullptr)
        return Fail(WSAEFAULT);
    const std::vector<INTERFACE_INFO> interfaces = ListInterfaces();
    const std::size_t nRoom = cbOutBuffer / sizeof(INTERFACE_INFO);
    const std::size_t nFilled = std::min(nRoom, interfaces.size());
    std::memcpy(lpvOutBuffer, interfaces.data(), nFilled * sizeof(INTERFACE_INFO));
    // Unlike Winsock, a buffer that is too small still receives the records that fit, so that a
    // machine with many interfaces keeps its first ones; the call reports the shortage all the
    // same.
    *lpcbBytesReturned = static_cast<DWORD>(nFilled * sizeof(INTERFACE_INFO));
    return nFilled < interfaces.size() ? Fail(WSAEFAULT) : 0;
}

} // namespace WinsockLayer
