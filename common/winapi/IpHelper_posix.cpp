// SPDX-License-Identifier: GPL-3.0-or-later
// Each notification asked for is a thread that waits on a routing socket subscribed to address
// and link changes, and on a descriptor that cancels it; the first change signals the event.
#include "IpHelper.h"

#include "Kernel.h"

#include <cerrno>
#include <cstdint>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

struct SWatch {
    int nNetlinkFd = -1;
    int nCancelFd = -1;
    std::thread Thread;
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

void Watch(int nNetlinkFd, int nCancelFd, HANDLE hEvent)
{
    pollfd fds[2] = {{nNetlinkFd, POLLIN, 0}, {nCancelFd, POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    if (fds[1].revents == 0)
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

} // namespace

DWORD NotifyAddrChange(PHANDLE Handle, LPOVERLAPPED overlapped)
{
    if (Handle == nullptr || overlapped == nullptr || overlapped->hEvent == nullptr)
        return ERROR_NOT_SUPPORTED;
    // A notification that has come (or not) gives way to the new one.
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
    pWatch->Thread = std::thread(Watch, pWatch->nNetlinkFd, pWatch->nCancelFd, overlapped->hEvent);
    *Handle = overlapped;
    std::lock_guard lock(Watches().Mutex);
    Watches().Map[overlapped] = std::move(pWatch);
    return ERROR_IO_PENDING;
}

BOOL CancelIPChangeNotify(LPOVERLAPPED notifyOverlapped)
{
    auto pWatch = TakeWatch(notifyOverlapped);
    if (!pWatch) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    Stop(std::move(pWatch));
    return TRUE;
}
