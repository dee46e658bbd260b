// SPDX-License-Identifier: GPL-3.0-or-later
// Each notification asked for is a thread that waits on a routing socket subscribed to address
// and link changes, and on a descriptor that cancels it; the first change signals the event. A
// route query asks the routing socket as `ip route get D from S` does.
#include "IpHelper.h"

#include "Kernel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <memory>
#include <mutex>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace
{

struct SWatch {
    int nNetlinkFd = -1;
    int nCancelFd = -1;
    std::thread Thread;
    // The change came (and the event was set); a request that has not is pending.
    std::atomic<bool> bCame{false};
};

struct SWatches {
    std::mutex Mutex;
    std::map<LPOVERLAPPED, std::unique_ptr<SWatch>> Map;
};

SWatches& Watches()
{
    static auto* pWatches = new SWatches;
    return *pWatches;
}

int OpenNotifications()
{
    const int nFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (nFd < 0)
        return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_LINK;
    if (::bind(nFd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(nFd);
        return -1;
    }
    return nFd;
}

void Watch(SWatch* pWatch, HANDLE hEvent)
{
    pollfd fds[2] = {{pWatch->nNetlinkFd, POLLIN, 0}, {pWatch->nCancelFd, POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    if (fds[1].revents != 0)
        return;
    pWatch->bCame = true;
    SetEvent(hEvent);
}

void Stop(std::unique_ptr<SWatch> pWatch)
{
    const std::uint64_t nOne = 1;
    [[maybe_unused]] const ssize_t nWritten = ::write(pWatch->nCancelFd, &nOne, sizeof nOne);
    pWatch->Thread.join();
    ::close(pWatch->nNetlinkFd);
    ::close(pWatch->nCancelFd);
}

// Whether a request on this OVERLAPPED is pending; a cancelled one is no longer known.
bool IsPending(LPOVERLAPPED overlapped)
{
    std::lock_guard lock(Watches().Mutex);
    const auto it = Watches().Map.find(overlapped);
    return it != Watches().Map.end() && !it->second->bCame;
}

std::unique_ptr<SWatch> TakeWatch(LPOVERLAPPED overlapped)
{
    std::lock_guard lock(Watches().Mutex);
    const auto it = Watches().Map.find(overlapped);
    if (it == Watches().Map.end())
        return nullptr;
    std::unique_ptr<SWatch> pWatch = std::move(it->second);
    Watches().Map.erase(it);
    return pWatch;
}

struct SRouteRequest {
    nlmsghdr Header;
    rtmsg Route;
    // RTA_DST and RTA_SRC, each an attribute header and an IPv4 address.
    char cAttributes[2 * RTA_SPACE(sizeof(in_addr))];
};

void AddAddress(SRouteRequest& request, unsigned short nType, const in_addr& address)
{
    auto* pAttribute =
        reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + request.Header.nlmsg_len);
    pAttribute->rta_type = nType;
    pAttribute->rta_len = RTA_LENGTH(sizeof address);
    std::memcpy(RTA_DATA(pAttribute), &address, sizeof address);
    request.Header.nlmsg_len = NLMSG_ALIGN(request.Header.nlmsg_len) + RTA_SPACE(sizeof address);
}

DWORD RouteError(int nError)
{
    if (nError == ENETUNREACH || nError == EHOSTUNREACH)
        return ERROR_NETWORK_UNREACHABLE;
    return nError == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_NOT_SUPPORTED;
}

// The outgoing interface of the kernel's answer to a route query, or the error it gave.
DWORD ReadRouteReply(const char* pBuffer, std::size_t nBytes, MIB_IPFORWARD_ROW2& route)
{
    const auto* pMessage = reinterpret_cast<const nlmsghdr*>(pBuffer);
    if (nBytes < sizeof(nlmsghdr) || pMessage->nlmsg_len > nBytes)
        return ERROR_NOT_SUPPORTED;
    if (pMessage->nlmsg_type == NLMSG_ERROR &&
        pMessage->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr)))
        return RouteError(-static_cast<const nlmsgerr*>(NLMSG_DATA(pMessage))->error);
    if (pMessage->nlmsg_type != RTM_NEWROUTE || pMessage->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
        return ERROR_NOT_SUPPORTED;
    route = MIB_IPFORWARD_ROW2{};
    int nLength = static_cast<int>(RTM_PAYLOAD(pMessage));
    for (const rtattr* pAttribute = RTM_RTA(NLMSG_DATA(pMessage)); RTA_OK(pAttribute, nLength);
         pAttribute = RTA_NEXT(pAttribute, nLength)) {
        if (pAttribute->rta_type == RTA_OIF && RTA_PAYLOAD(pAttribute) >= sizeof(std::uint32_t))
            std::memcpy(&route.InterfaceIndex, RTA_DATA(pAttribute), sizeof(std::uint32_t));
        if (pAttribute->rta_type == RTA_GATEWAY && RTA_PAYLOAD(pAttribute) >= sizeof(in_addr)) {
            route.NextHop.Ipv4.sin_family = AF_INET;
            std::memcpy(&route.NextHop.Ipv4.sin_addr, RTA_DATA(pAttribute), sizeof(in_addr));
        }
    }
    route.InterfaceLuid.Value = route.InterfaceIndex;
    return route.InterfaceIndex != 0 ? NO_ERROR : ERROR_NOT_FOUND;
}

} // namespace

NETIO_STATUS GetBestRoute2(NET_LUID* InterfaceLuid, NET_IFINDEX InterfaceIndex,
                           const SOCKADDR_INET* SourceAddress,
                           const SOCKADDR_INET* DestinationAddress, ULONG,
                           MIB_IPFORWARD_ROW2* BestRoute, SOCKADDR_INET* BestSourceAddress)
{
    if (InterfaceLuid != nullptr || InterfaceIndex != 0 || SourceAddress == nullptr ||
        DestinationAddress == nullptr || BestRoute == nullptr ||
        SourceAddress->si_family != AF_INET || DestinationAddress->si_family != AF_INET)
        return ERROR_INVALID_PARAMETER;
    SRouteRequest request{};
    request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.Header.nlmsg_type = RTM_GETROUTE;
    request.Header.nlmsg_flags = NLM_F_REQUEST;
    request.Route.rtm_family = AF_INET;
    request.Route.rtm_dst_len = 32;
    request.Route.rtm_src_len = 32;
    AddAddress(request, RTA_DST, DestinationAddress->Ipv4.sin_addr);
    AddAddress(request, RTA_SRC, SourceAddress->Ipv4.sin_addr);
    const int nFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (nFd < 0)
        return ERROR_NOT_SUPPORTED;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    char cReply[4096];
    ssize_t nReceived = -1;
    if (::sendto(nFd, &request, request.Header.nlmsg_len, 0,
                 reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) >= 0) {
        while ((nReceived = ::recv(nFd, cReply, sizeof cReply, 0)) < 0 && errno == EINTR) {
        }
    }
    ::close(nFd);
    if (nReceived <= 0)
        return ERROR_NOT_SUPPORTED;
    const DWORD dwResult = ReadRouteReply(cReply, static_cast<std::size_t>(nReceived), *BestRoute);
    if (dwResult == NO_ERROR && BestSourceAddress != nullptr)
        *BestSourceAddress = *SourceAddress;
    return dwResult;
}

NETIO_STATUS ConvertInterfaceLuidToGuid(const NET_LUID* InterfaceLuid, GUID* InterfaceGuidOut)
{
    char cName[IF_NAMESIZE] = {};
    if (InterfaceLuid == nullptr || InterfaceGuidOut == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (::if_indextoname(static_cast<unsigned>(InterfaceLuid->Value), cName) == nullptr)
        return ERROR_NOT_FOUND;
    *InterfaceGuidOut = InterfaceGuid(cName);
    return NO_ERROR;
}

GUID InterfaceGuid(const std::string& strName)
{
    static_assert(sizeof(GUID) == IF_NAMESIZE, "a GUID holds an interface name and its NUL");
    unsigned char cBytes[sizeof(GUID)] = {};
    std::memcpy(cBytes, strName.data(), std::min(strName.size(), sizeof cBytes - 1));
    GUID guid{};
    std::memcpy(&guid, cBytes, sizeof guid);
    return guid;
}

DWORD NotifyAddrChange(PHANDLE Handle, LPOVERLAPPED overlapped)
{
    if (Handle == nullptr || overlapped == nullptr || overlapped->hEvent == nullptr)
        return ERROR_NOT_SUPPORTED;
    if (IsPending(overlapped))
        return ERROR_INVALID_PARAMETER;
    // A notification that has come gives way to the new one.
    if (auto pOld = TakeWatch(overlapped))
        Stop(std::move(pOld));
    auto pWatch = std::make_unique<SWatch>();
    pWatch->nNetlinkFd = OpenNotifications();
    pWatch->nCancelFd = ::eventfd(0, EFD_CLOEXEC);
    if (pWatch->nNetlinkFd < 0 || pWatch->nCancelFd < 0) {
        if (pWatch->nNetlinkFd >= 0)
            ::close(pWatch->nNetlinkFd);
        if (pWatch->nCancelFd >= 0)
            ::close(pWatch->nCancelFd);
        return ERROR_NOT_SUPPORTED;
    }
    try {
        pWatch->Thread = std::thread(Watch, pWatch.get(), overlapped->hEvent);
    } catch (const std::system_error&) {
        ::close(pWatch->nNetlinkFd);
        ::close(pWatch->nCancelFd);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *Handle = overlapped;
    std::lock_guard lock(Watches().Mutex);
    Watches().Map[overlapped] = std::move(pWatch);
    return ERROR_IO_PENDING;
}

// A request whose change has come is complete, and cannot be cancelled, as Windows says; what it
// held is let go all the same.
BOOL CancelIPChangeNotify(LPOVERLAPPED notifyOverlapped)
{
    auto pWatch = TakeWatch(notifyOverlapped);
    const bool bPending = pWatch && !pWatch->bCame;
    if (pWatch)
        Stop(std::move(pWatch));
    if (!bPending) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED lpOverlapped, DWORD* lpNumberOfBytesTransferred,
                         BOOL bWait)
{
    if (lpNumberOfBytesTransferred != nullptr)
        *lpNumberOfBytesTransferred = 0;
    if (IsPending(lpOverlapped) && !bWait) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    if (IsPending(lpOverlapped))
        WaitForSingleObject(lpOverlapped->hEvent, INFINITE);
    std::lock_guard lock(Watches().Mutex);
    if (Watches().Map.count(lpOverlapped) == 0) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }
    return TRUE;
}
