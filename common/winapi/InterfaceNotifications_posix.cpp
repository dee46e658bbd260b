// SPDX-License-Identifier: GPL-3.0-or-later
// Interface change notifications: each is a thread that waits on a routing socket subscribed to
// link changes, and on a descriptor that cancels it, and calls back once for each link message
// that the kernel sends, as the system's thread calls back on Windows.
#include "IpHelper.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

constexpr std::size_t kReadBufferBytes = 64 * 1024;

struct SInterfaceWatch {
    int nNetlinkFd = -1;
    int nCancelFd = -1;
    PIPINTERFACE_CHANGE_CALLBACK pCallback = nullptr;
    PVOID pContext = nullptr;
    bool bInitial = false;
    std::thread Thread;
};

void CloseDescriptors(SInterfaceWatch& watch)
{
    for (const int nFd : {watch.nNetlinkFd, watch.nCancelFd}) {
        if (nFd >= 0)
            ::close(nFd);
    }
}

void CallBack(const SInterfaceWatch& watch, int nIndex, MIB_NOTIFICATION_TYPE type)
{
    MIB_IPINTERFACE_ROW row{};
    row.Family = AF_INET;
    row.InterfaceLuid.Value = static_cast<std::uint64_t>(nIndex);
    row.InterfaceIndex = static_cast<NET_IFINDEX>(nIndex);
    watch.pCallback(watch.pContext, &row, type);
}

// Each link message of the kernel's, never past the bytes received.
void ReadLinkMessages(const SInterfaceWatch& watch, const char* pBuffer, std::size_t nBytes)
{
    for (std::size_t nOffset = 0; nBytes - nOffset >= NLMSG_LENGTH(sizeof(ifinfomsg));) {
        const auto* pMessage = reinterpret_cast<const nlmsghdr*>(pBuffer + nOffset);
        if (pMessage->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)) ||
            pMessage->nlmsg_len > nBytes - nOffset)
            return;
        const auto* pInfo = static_cast<const ifinfomsg*>(NLMSG_DATA(pMessage));
        if (pMessage->nlmsg_type == RTM_NEWLINK || pMessage->nlmsg_type == RTM_DELLINK)
            CallBack(watch, pInfo->ifi_index,
                     pMessage->nlmsg_type == RTM_NEWLINK ? MibParameterNotification
                                                         : MibDeleteInstance);
        if (NLMSG_ALIGN(pMessage->nlmsg_len) > nBytes - nOffset)
            return;
        nOffset += NLMSG_ALIGN(pMessage->nlmsg_len);
    }
}

void Watch(SInterfaceWatch* pWatch)
{
    if (pWatch->bInitial)
        CallBack(*pWatch, 0, MibInitialNotification);
    std::vector<char> buffer(kReadBufferBytes);
    pollfd fds[2] = {{pWatch->nNetlinkFd, POLLIN, 0}, {pWatch->nCancelFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents == 0)
            continue;
        sockaddr_nl sender{};
        socklen_t nSenderLength = sizeof sender;
        const ssize_t nReceived =
            ::recvfrom(pWatch->nNetlinkFd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&sender), &nSenderLength);
        // Notifications that did not fit are lost: a change is told all the same.
        if (nReceived < 0 && errno == ENOBUFS)
            CallBack(*pWatch, 0, MibParameterNotification);
        // Only the kernel's messages are read.
        if (nReceived > 0 && sender.nl_pid == 0)
            ReadLinkMessages(*pWatch, buffer.data(), static_cast<std::size_t>(nReceived));
    }
}

int OpenLinkNotifications()
{
    const int nFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (nFd < 0)
        return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK;
    if (::bind(nFd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(nFd);
        return -1;
    }
    return nFd;
}

} // namespace

NETIO_STATUS NotifyIpInterfaceChange(ADDRESS_FAMILY, PIPINTERFACE_CHANGE_CALLBACK Callback,
                                     PVOID CallerContext, BOOLEAN InitialNotification,
                                     HANDLE* NotificationHandle)
{
    if (Callback == nullptr || NotificationHandle == nullptr)
        return ERROR_INVALID_PARAMETER;
    auto pWatch = std::make_unique<SInterfaceWatch>();
    pWatch->pCallback = Callback;
    pWatch->pContext = CallerContext;
    pWatch->nNetlinkFd = OpenLinkNotifications();
    pWatch->nCancelFd = ::eventfd(0, EFD_CLOEXEC);
    if (pWatch->nNetlinkFd < 0 || pWatch->nCancelFd < 0) {
        CloseDescriptors(*pWatch);
        return ERROR_NOT_SUPPORTED;
    }
    pWatch->bInitial = InitialNotification != 0;
    try {
        pWatch->Thread = std::thread(Watch, pWatch.get());
    } catch (const std::system_error&) {
        CloseDescriptors(*pWatch);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *NotificationHandle = pWatch.release();
    return NO_ERROR;
}

NETIO_STATUS CancelMibChangeNotify2(HANDLE NotificationHandle)
{
    auto* pWatch = static_cast<SInterfaceWatch*>(NotificationHandle);
    if (pWatch == nullptr)
        return ERROR_INVALID_PARAMETER;
    const std::uint64_t nOne = 1;
    [[maybe_unused]] const ssize_t nWritten = ::write(pWatch->nCancelFd, &nOne, sizeof nOne);
    pWatch->Thread.join();
    CloseDescriptors(*pWatch);
    delete pWatch;
    return NO_ERROR;
}
