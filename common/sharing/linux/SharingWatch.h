// SPDX-License-Identifier: GPL-3.0-or-later
// CSharingWatch: follows the kernel's own notifications of what can undo a sharing, on a thread
// of its own that sleeps until one comes (never polling): nftables' transactions
// (NFNLGRP_NFTABLES, which needs CAP_NET_ADMIN), IPv4 forwarding's setting (rtnetlink's netconf
// events) and the links (rtnetlink's link events: an uplink renamed, or gone and come back). Each
// batch of notifications reaches the handler once, after the batch's last message. A transaction
// that the process made itself is told by the netlink port that sent it: the pid in its generation
// is the committing thread's, as the first PID namespace counts it, which is neither this process's
// pid for another thread nor known inside a container.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <thread>

class CSharingWatch
{
public:
    struct SChange {
        // Another program committed a transaction to nftables, or notifications were lost.
        bool bRuleset = false;
        // IPv4 forwarding was set, or its notifications were lost.
        bool bForwarding = false;
        // The program of the last such transaction, as the kernel names it; empty if it did not.
        std::string strProgram;
        // A link changed: appeared, went, was renamed, or went up or down.
        bool bLinks = false;

        bool Any() const { return bRuleset || bForwarding || bLinks; }
    };
    // Called on the watch's thread; returning false ends the watch.
    using Handler = std::function<bool(const SChange&)>;

    CSharingWatch() = default;
    ~CSharingWatch();
    CSharingWatch(const CSharingWatch&) = delete;
    CSharingWatch& operator=(const CSharingWatch&) = delete;

    // Stops an earlier watch, then watches anew; false, with a trace, where the kernel's
    // notifications cannot be had.
    bool Start(Handler handler);
    // Never called from the handler.
    void Stop();
    // False before Start, after Stop, and once the handler has ended the watch.
    bool IsWatching() const { return m_bWatching; }

    // What a batch of nftables' messages says; transactions sent from the ports given are the
    // process's own.
    static void ReadNftablesMessages(const char* pBuffer, std::size_t nBytes,
                                     const std::set<std::uint32_t>& ownPorts, SChange& change);
    // The netlink ports of this process's own netfilter sockets (libnftables' among them).
    static std::set<std::uint32_t> OwnPorts();
    // What a batch of rtnetlink's netconf and link messages says.
    static void ReadNetconfMessages(const char* pBuffer, std::size_t nBytes, SChange& change);

private:
    void Run(Handler handler);
    void Watch(const Handler& handler);
    // Reads what the socket holds without waiting; false where notifications were lost.
    template <typename TRead>
    static bool Drain(int nFd, TRead read);
    void CloseDescriptors();

    int m_nNftablesFd = -1;
    int m_nNetconfFd = -1;
    int m_nStopFd = -1;
    std::thread m_Thread;
    std::atomic<bool> m_bWatching{false};
};
