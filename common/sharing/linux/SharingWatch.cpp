// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingWatch.h"

#include "Kernel.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <linux/netconf.h>
#include <linux/netfilter/nf_tables.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace
{

// A flush of a large rule set (firewalld's) notifies thousands of messages at once.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
constexpr std::size_t kReadBufferBytes = 64 * 1024;

int OpenSubscribed(int nProtocol, int nGroup)
{
    const int nFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, nProtocol);
    if (nFd < 0)
        return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    // Beyond what an unprivileged process may ask, the buffer is as large as the system allows.
    if (::setsockopt(nFd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes,
                     sizeof kReceiveBufferBytes) != 0)
        ::setsockopt(nFd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    if (::bind(nFd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::setsockopt(nFd, SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &nGroup, sizeof nGroup) != 0) {
        ::close(nFd);
        return -1;
    }
    return nFd;
}

// Calls the visitor for each whole message of the batch, never past the bytes received: a length
// that is no multiple of four (which only a sender other than the kernel makes) ends the walk.
template <typename TVisit>
void ForEachMessage(const char* pBuffer, std::size_t nBytes, TVisit visit)
{
    std::size_t nOffset = 0;
    while (nBytes - nOffset >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, pBuffer + nOffset, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > nBytes - nOffset)
            return;
        visit(*reinterpret_cast<const nlmsghdr*>(pBuffer + nOffset));
        const std::size_t nStep = NLMSG_ALIGN(header.nlmsg_len);
        if (nStep > nBytes - nOffset)
            return;
        nOffset += nStep;
    }
}

// Calls the visitor for each whole attribute after the message's fixed header.
template <typename TVisit>
void ForEachAttribute(const nlmsghdr& message, std::size_t nHeaderBytes, TVisit visit)
{
    const std::size_t nStart = NLMSG_HDRLEN + NLMSG_ALIGN(nHeaderBytes);
    const auto* pBytes = reinterpret_cast<const char*>(&message);
    for (std::size_t nOffset = nStart; nOffset + NLA_HDRLEN <= message.nlmsg_len;) {
        const auto* pAttribute = reinterpret_cast<const nlattr*>(pBytes + nOffset);
        if (pAttribute->nla_len < NLA_HDRLEN || pAttribute->nla_len > message.nlmsg_len - nOffset)
            return;
        visit(*pAttribute, pBytes + nOffset + NLA_HDRLEN, pAttribute->nla_len - NLA_HDRLEN);
        nOffset += NLA_ALIGN(pAttribute->nla_len);
    }
}

void Trace(const char* pszWhat)
{
    OutputDebugStringA(("CSharingWatch::Start(): " + std::string(pszWhat) +
                        " failed: " + std::strerror(errno) + "\n")
                           .c_str());
}

} // namespace

CSharingWatch::~CSharingWatch()
{
    Stop();
}

bool CSharingWatch::Start(Handler handler)
{
    Stop();
    m_nNftablesFd = OpenSubscribed(NETLINK_NETFILTER, NFNLGRP_NFTABLES);
    if (m_nNftablesFd < 0)
        Trace("subscribing to nftables' notifications");
    m_nNetconfFd = OpenSubscribed(NETLINK_ROUTE, RTNLGRP_IPV4_NETCONF);
    const int nLinks = RTNLGRP_LINK;
    if (m_nNetconfFd >= 0 && ::setsockopt(m_nNetconfFd, SOL_NETLINK, NETLINK_ADD_MEMBERSHIP,
                                          &nLinks, sizeof nLinks) != 0) {
        ::close(m_nNetconfFd);
        m_nNetconfFd = -1;
    }
    if (m_nNetconfFd < 0)
        Trace("subscribing to IPv4 forwarding's and the links' notifications");
    m_nStopFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_nNftablesFd < 0 || m_nNetconfFd < 0 || m_nStopFd < 0) {
        CloseDescriptors();
        return false;
    }
    m_bWatching = true;
    try {
        m_Thread = std::thread(&CSharingWatch::Run, this, std::move(handler));
    } catch (const std::system_error& error) {
        OutputDebugStringA(("CSharingWatch::Start(): the thread could not be made: " +
                            std::string(error.what()) + "\n")
                               .c_str());
        m_bWatching = false;
        CloseDescriptors();
        return false;
    }
    return true;
}

void CSharingWatch::Stop()
{
    if (m_Thread.joinable()) {
        const std::uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t nWritten = ::write(m_nStopFd, &nOne, sizeof nOne);
        m_Thread.join();
    }
    CloseDescriptors();
    m_bWatching = false;
}

void CSharingWatch::CloseDescriptors()
{
    for (int* pFd : {&m_nNftablesFd, &m_nNetconfFd, &m_nStopFd}) {
        if (*pFd >= 0)
            ::close(*pFd);
        *pFd = -1;
    }
}

// What the C++ library throws here (memory, a stream) ends the watch, never the process.
void CSharingWatch::Run(Handler handler)
{
    try {
        Watch(handler);
    } catch (const std::exception& error) {
        OutputDebugStringA(
            ("CSharingWatch::Run(): the watch ends: " + std::string(error.what()) + "\n").c_str());
    }
    m_bWatching = false;
}

void CSharingWatch::Watch(const Handler& handler)
{
    pollfd fds[3] = {{m_nStopFd, POLLIN, 0}, {m_nNftablesFd, POLLIN, 0}, {m_nNetconfFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;
        SChange change;
        const std::set<std::uint32_t> ownPorts = OwnPorts();
        if (!Drain(m_nNftablesFd, [&](const char* pBuffer, std::size_t nBytes) {
                ReadNftablesMessages(pBuffer, nBytes, ownPorts, change);
            }))
            change.bRuleset = true;
        if (!Drain(m_nNetconfFd, [&](const char* pBuffer, std::size_t nBytes) {
                ReadNetconfMessages(pBuffer, nBytes, change);
            }))
            change.bForwarding = true;
        if (change.Any() && !handler(change))
            break;
    }
}

// Only the kernel's notifications are read: another process with CAP_NET_ADMIN may send to the
// watch's sockets too.
template <typename TRead>
bool CSharingWatch::Drain(int nFd, TRead read)
{
    std::vector<char> buffer(kReadBufferBytes);
    bool bWhole = true;
    for (;;) {
        sockaddr_nl sender{};
        socklen_t nSenderLength = sizeof sender;
        const ssize_t nReceived = ::recvfrom(nFd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                             reinterpret_cast<sockaddr*>(&sender), &nSenderLength);
        if (nReceived > 0) {
            if (sender.nl_pid == 0)
                read(buffer.data(), static_cast<std::size_t>(nReceived));
            continue;
        }
        if (nReceived < 0 && errno == EINTR)
            continue;
        // The kernel dropped notifications that did not fit: the state must be read again.
        if (nReceived < 0 && errno == ENOBUFS) {
            bWhole = false;
            continue;
        }
        return bWhole;
    }
}

void CSharingWatch::ReadNftablesMessages(const char* pBuffer, std::size_t nBytes,
                                         const std::set<std::uint32_t>& ownPorts, SChange& change)
{
    ForEachMessage(pBuffer, nBytes, [&](const nlmsghdr& message) {
        // Each transaction ends with the generation it made, which names its program.
        if (message.nlmsg_type != ((NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_NEWGEN) ||
            ownPorts.count(message.nlmsg_pid) != 0)
            return;
        change.bRuleset = true;
        change.strProgram.clear();
        ForEachAttribute(message, sizeof(nfgenmsg),
                         [&](const nlattr& attribute, const char* pData, std::size_t nLength) {
                             if (attribute.nla_type == NFTA_GEN_PROC_NAME)
                                 change.strProgram.assign(pData, strnlen(pData, nLength));
                         });
    });
}

std::set<std::uint32_t> CSharingWatch::OwnPorts()
{
    // The socket inodes of this process's descriptors, then their rows in the netlink table.
    std::set<std::string> inodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string strTarget = std::filesystem::read_symlink(entry.path(), error).string();
        if (strTarget.starts_with("socket:["))
            inodes.insert(strTarget.substr(8, strTarget.size() - 9));
    }
    std::set<std::uint32_t> ports;
    std::ifstream table("/proc/self/net/netlink");
    std::string strLine;
    std::getline(table, strLine);
    while (std::getline(table, strLine)) {
        std::istringstream row(strLine);
        std::string strSocket, strInode, strSkip;
        int nProtocol = -1;
        std::uint32_t nPort = 0;
        row >> strSocket >> nProtocol >> nPort >> strSkip >> strSkip >> strSkip >> strSkip >>
            strSkip >> strSkip >> strInode;
        if (nProtocol == NETLINK_NETFILTER && inodes.count(strInode) != 0)
            ports.insert(nPort);
    }
    return ports;
}

void CSharingWatch::ReadNetconfMessages(const char* pBuffer, std::size_t nBytes, SChange& change)
{
    ForEachMessage(pBuffer, nBytes, [&](const nlmsghdr& message) {
        if (message.nlmsg_type == RTM_NEWLINK || message.nlmsg_type == RTM_DELLINK) {
            change.bLinks = true;
            return;
        }
        if (message.nlmsg_type != RTM_NEWNETCONF)
            return;
        ForEachAttribute(message, sizeof(netconfmsg),
                         [&](const nlattr& attribute, const char*, std::size_t) {
                             if (attribute.nla_type == NETCONFA_FORWARDING)
                                 change.bForwarding = true;
                         });
    });
}
