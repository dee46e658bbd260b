// SPDX-License-Identifier: GPL-3.0-or-later
// Winsock over POSIX sockets and poll. A thread waiting on an event object polls the sockets
// selected onto it itself, and what it finds is recorded with the Winsock rules: an event that
// has been recorded is not recorded again until the call that re-enables it (accept for
// FD_ACCEPT, recv for FD_READ, a send that would block for FD_WRITE).
#include "NetDeviceType.h"
#include "WaitSource_posix.h"
#include "WinSock.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace
{

std::atomic<int> g_nStartups{0};
std::atomic<WORD> g_wOfferedVersion{0};

constexpr WORD kSupportedVersion = MAKEWORD(2, 2);

int MapErrno(int nErrno)
{
    switch (nErrno) {
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAENOTSOCK;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    default:
        return WSASYSCALLFAILURE;
    }
}

int Fail(int nWsaError)
{
    Winsock::WSASetLastError(nWsaError);
    return SOCKET_ERROR;
}

int FailFromErrno()
{
    return Fail(MapErrno(errno));
}

int Result(int nResult)
{
    return nResult < 0 ? FailFromErrno() : nResult;
}

bool IsSocket(SOCKET s)
{
    int nType = 0;
    socklen_t nLength = sizeof nType;
    return ::getsockopt(s, SOL_SOCKET, SO_TYPE, &nType, &nLength) == 0;
}

bool IsListening(SOCKET s)
{
    int nListening = 0;
    socklen_t nLength = sizeof nListening;
    return ::getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &nListening, &nLength) == 0 &&
           nListening != 0;
}

bool IsConnected(SOCKET s)
{
    sockaddr_storage peer{};
    socklen_t nLength = sizeof peer;
    return ::getpeername(s, reinterpret_cast<sockaddr*>(&peer), &nLength) == 0;
}

int PendingError(SOCKET s)
{
    int nError = 0;
    socklen_t nLength = sizeof nError;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, &nError, &nLength);
    return nError == 0 ? 0 : MapErrno(nError);
}

bool SetNonBlocking(SOCKET s)
{
    const int nFlags = ::fcntl(s, F_GETFL);
    return nFlags >= 0 && ::fcntl(s, F_SETFL, nFlags | O_NONBLOCK) == 0;
}

bool IsNonBlocking(SOCKET s)
{
    const int nFlags = ::fcntl(s, F_GETFL);
    return nFlags >= 0 && (nFlags & O_NONBLOCK) != 0;
}

class CNetworkEventSelections final : public CWaitSource
{
public:
    static CNetworkEventSelections& Instance()
    {
        // Never destroyed: a wait may still look at the selections while the process exits.
        static CNetworkEventSelections* pSelections = new CNetworkEventSelections;
        return *pSelections;
    }

    void Select(SOCKET s, WSAEVENT hEvent, long lNetworkEvents)
    {
        std::lock_guard lock(m_Mutex);
        ForgetLocked(s);
        if (lNetworkEvents != 0 && hEvent != WSA_INVALID_EVENT) {
            m_Selections[s] = SSelection{hEvent, lNetworkEvents, lNetworkEvents};
            WakeWaiters(hEvent);
        }
    }

    // A socket accepted from a selected socket takes over its selection.
    void Inherit(SOCKET sListening, SOCKET sAccepted)
    {
        std::lock_guard lock(m_Mutex);
        auto it = m_Selections.find(sListening);
        if (it == m_Selections.end())
            return;
        m_Selections[sAccepted] = SSelection{it->second.hEvent, it->second.lMask, it->second.lMask};
        WakeWaiters(it->second.hEvent);
    }

    void Reenable(SOCKET s, long lNetworkEvents)
    {
        std::lock_guard lock(m_Mutex);
        auto it = m_Selections.find(s);
        if (it == m_Selections.end())
            return;
        it->second.lArmed |= it->second.lMask & lNetworkEvents;
        WakeWaiters(it->second.hEvent);
    }

    void MarkConnecting(SOCKET s)
    {
        std::lock_guard lock(m_Mutex);
        auto it = m_Selections.find(s);
        if (it == m_Selections.end())
            return;
        it->second.bConnecting = true;
        WakeWaiters(it->second.hEvent);
    }

    // A closed socket is no longer watched; a wait that watched it looks again.
    void Forget(SOCKET s)
    {
        std::lock_guard lock(m_Mutex);
        ForgetLocked(s);
    }

    // Reports what has occurred since the last call, including what is the case right now.
    bool Enumerate(SOCKET s, WSAEVENT hEvent, WSANETWORKEVENTS& events)
    {
        std::lock_guard lock(m_Mutex);
        events = WSANETWORKEVENTS{};
        auto it = m_Selections.find(s);
        if (it != m_Selections.end()) {
            RecordLocked(s, it->second);
            events.lNetworkEvents = it->second.lOccurred;
            std::memcpy(events.iErrorCode, it->second.nErrors, sizeof events.iErrorCode);
            it->second.lOccurred = 0;
            std::memset(it->second.nErrors, 0, sizeof it->second.nErrors);
        }
        return hEvent == WSA_INVALID_EVENT || ResetEvent(hEvent) != FALSE;
    }

    void AddDescriptors(HANDLE hEvent, std::vector<pollfd>& fds) override
    {
        std::lock_guard lock(m_Mutex);
        for (const auto& [s, selection] : m_Selections) {
            const short nEvents = selection.hEvent == hEvent ? Wanted(s, selection) : 0;
            if (nEvents != 0)
                fds.push_back(pollfd{s, nEvents, 0});
        }
    }

    void Record(int nFd) override
    {
        std::lock_guard lock(m_Mutex);
        auto it = m_Selections.find(nFd);
        if (it != m_Selections.end())
            RecordLocked(it->first, it->second);
    }

private:
    struct SSelection {
        WSAEVENT hEvent = WSA_INVALID_EVENT;
        long lMask = 0;
        long lArmed = 0;
        long lOccurred = 0;
        int nErrors[FD_MAX_EVENTS] = {};
        bool bConnecting = false;
        bool bPeerClosed = false;
    };

    CNetworkEventSelections() { SetWaitSource(this); }

    // The socket's wait, if any, stops watching it at once: a poll holds what it watches open.
    void ForgetLocked(SOCKET s)
    {
        auto it = m_Selections.find(s);
        if (it == m_Selections.end())
            return;
        WakeWaiters(it->second.hEvent);
        m_Selections.erase(it);
    }

    static bool HasPendingData(SOCKET s)
    {
        char c;
        return ::recv(s, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
    }

    static short Wanted(SOCKET s, const SSelection& selection)
    {
        const long lArmed = selection.lArmed;
        if (IsListening(s))
            return (lArmed & FD_ACCEPT) != 0 ? POLLIN : 0;
        if (selection.bConnecting)
            return (lArmed & (FD_CONNECT | FD_WRITE)) != 0 ? POLLOUT : 0;
        if (selection.bPeerClosed)
            return (lArmed & FD_READ) != 0 && HasPendingData(s) ? POLLIN : 0;
        if (!IsConnected(s))
            return 0;
        short nEvents = 0;
        if ((lArmed & FD_READ) != 0)
            nEvents |= POLLIN;
        if ((lArmed & FD_CLOSE) != 0)
            nEvents |= POLLRDHUP;
        if ((lArmed & FD_WRITE) != 0)
            nEvents |= POLLOUT;
        return nEvents;
    }

    void Occur(SSelection& selection, int nBit, int nError)
    {
        const long lEvent = 1L << nBit;
        if ((selection.lArmed & lEvent) == 0)
            return;
        selection.lArmed &= ~lEvent;
        selection.lOccurred |= lEvent;
        selection.nErrors[nBit] = nError;
        SetEvent(selection.hEvent);
    }

    // Looks at the socket afresh, so that a stale poll result never records a false event.
    void RecordLocked(SOCKET s, SSelection& selection)
    {
        pollfd fd{s, Wanted(s, selection), 0};
        if (fd.events == 0 || ::poll(&fd, 1, 0) <= 0)
            return;
        if (IsListening(s)) {
            Occur(selection, FD_ACCEPT_BIT, 0);
            return;
        }
        if (selection.bConnecting) {
            selection.bConnecting = false;
            const int nError = PendingError(s);
            Occur(selection, FD_CONNECT_BIT, nError);
            if (nError == 0)
                Occur(selection, FD_WRITE_BIT, 0);
            return;
        }
        bool bEnded = (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
        if ((fd.revents & POLLIN) != 0) {
            char c;
            const ssize_t n = ::recv(s, &c, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n > 0)
                Occur(selection, FD_READ_BIT, 0);
            else if (n == 0)
                bEnded = true;
        }
        if (bEnded && !selection.bPeerClosed) {
            selection.bPeerClosed = true;
            Occur(selection, FD_CLOSE_BIT, PendingError(s));
        }
        if ((fd.revents & POLLOUT) != 0 && !selection.bPeerClosed)
            Occur(selection, FD_WRITE_BIT, 0);
    }

    std::mutex m_Mutex;
    std::unordered_map<SOCKET, SSelection> m_Selections;
};

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

} // namespace

namespace Winsock
{

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    if (lpWSAData == nullptr)
        return WSAEFAULT;
    if (LOBYTE(wVersionRequested) < 1)
        return WSAVERNOTSUPPORTED;
    *lpWSAData = WSADATA{};
    const WORD wOffered = g_wOfferedVersion.load();
    lpWSAData->wVersion = wOffered != 0 ? wOffered : kSupportedVersion;
    lpWSAData->wHighVersion = kSupportedVersion;
    std::strcpy(lpWSAData->szDescription, "Tarnlow Winsock over POSIX sockets");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    ++g_nStartups;
    return 0;
}

int WSACleanup()
{
    int nStartups = g_nStartups.load();
    do {
        if (nStartups == 0)
            return Fail(WSANOTINITIALISED);
    } while (!g_nStartups.compare_exchange_weak(nStartups, nStartups - 1));
    return 0;
}

int WSAGetLastError()
{
    return static_cast<int>(GetLastError());
}

void WSASetLastError(int iError)
{
    SetLastError(static_cast<DWORD>(iError));
}

SOCKET socket(int af, int type, int protocol)
{
    if (g_nStartups.load() == 0)
        return Fail(WSANOTINITIALISED);
    return Result(::socket(af, type | SOCK_CLOEXEC, protocol));
}

int closesocket(SOCKET s)
{
    CNetworkEventSelections::Instance().Forget(s);
    return Result(::close(s));
}

int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen)
{
    if (optlen < 0)
        return Fail(WSAEFAULT);
    return Result(::setsockopt(s, level, optname, optval, static_cast<socklen_t>(optlen)));
}

int bind(SOCKET s, const sockaddr* name, int namelen)
{
    if (namelen < 0)
        return Fail(WSAEFAULT);
    return Result(::bind(s, name, static_cast<socklen_t>(namelen)));
}

int listen(SOCKET s, int backlog)
{
    return Result(::listen(s, backlog));
}

SOCKET accept(SOCKET s, sockaddr* addr, int* addrlen)
{
    socklen_t nLength = addrlen != nullptr && *addrlen > 0 ? static_cast<socklen_t>(*addrlen) : 0;
    const int nFlags = SOCK_CLOEXEC | (IsNonBlocking(s) ? SOCK_NONBLOCK : 0);
    const SOCKET sAccepted = ::accept4(s, addr, addr != nullptr ? &nLength : nullptr, nFlags);
    const int nErrno = errno;
    CNetworkEventSelections::Instance().Reenable(s, FD_ACCEPT);
    if (sAccepted < 0)
        return Fail(MapErrno(nErrno));
    if (addrlen != nullptr && addr != nullptr)
        *addrlen = static_cast<int>(nLength);
    CNetworkEventSelections::Instance().Inherit(s, sAccepted);
    return sAccepted;
}

int connect(SOCKET s, const sockaddr* name, int namelen)
{
    if (namelen < 0)
        return Fail(WSAEFAULT);
    if (::connect(s, name, static_cast<socklen_t>(namelen)) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return FailFromErrno();
    // A non-blocking connect goes on; FD_CONNECT reports how it ended.
    CNetworkEventSelections::Instance().MarkConnecting(s);
    return Fail(WSAEWOULDBLOCK);
}

int send(SOCKET s, const char* buf, int len, int flags)
{
    if (len < 0)
        return Fail(WSAEFAULT);
    // Winsock raises no signal when the peer has gone; it reports the error.
    const ssize_t n = ::send(s, buf, static_cast<std::size_t>(len), flags | MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        CNetworkEventSelections::Instance().Reenable(s, FD_WRITE);
    return Result(static_cast<int>(n));
}

int recv(SOCKET s, char* buf, int len, int flags)
{
    if (len < 0)
        return Fail(WSAEFAULT);
    const ssize_t n = ::recv(s, buf, static_cast<std::size_t>(len), flags);
    const int nErrno = errno;
    CNetworkEventSelections::Instance().Reenable(s, FD_READ);
    errno = nErrno;
    return Result(static_cast<int>(n));
}

int shutdown(SOCKET s, int how)
{
    return Result(::shutdown(s, how));
}

int gethostname(char* name, int namelen)
{
    if (name == nullptr || namelen <= 0)
        return Fail(WSAEFAULT);
    if (::gethostname(name, static_cast<std::size_t>(namelen)) != 0)
        return Fail(WSAEFAULT);
    return 0;
}

hostent* gethostbyname(const char* name)
{
    struct SHostRecord {
        hostent Host{};
        std::vector<in_addr> Addresses;
        std::vector<char*> AddressPointers;
        std::vector<char*> NoAliases{nullptr};
        std::string strName;
    };
    thread_local SHostRecord record;
    if (name == nullptr)
        return nullptr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pResults = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &pResults) != 0 || pResults == nullptr) {
        WSASetLastError(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    record.Addresses.clear();
    for (const addrinfo* p = pResults; p != nullptr; p = p->ai_next)
        record.Addresses.push_back(reinterpret_cast<const sockaddr_in*>(p->ai_addr)->sin_addr);
    ::freeaddrinfo(pResults);
    record.AddressPointers.clear();
    for (in_addr& address : record.Addresses)
        record.AddressPointers.push_back(reinterpret_cast<char*>(&address));
    record.AddressPointers.push_back(nullptr);
    record.strName = name;
    record.Host.h_name = record.strName.data();
    record.Host.h_aliases = record.NoAliases.data();
    record.Host.h_addrtype = AF_INET;
    record.Host.h_length = sizeof(in_addr);
    record.Host.h_addr_list = record.AddressPointers.data();
    return &record.Host;
}

WSAEVENT WSACreateEvent()
{
    const HANDLE hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (hEvent == nullptr)
        WSASetLastError(WSAENOBUFS);
    return hEvent;
}

BOOL WSACloseEvent(WSAEVENT hEvent)
{
    return CloseHandle(hEvent);
}

int WSAEventSelect(SOCKET s, WSAEVENT hEventObject, long lNetworkEvents)
{
    if (!IsSocket(s))
        return Fail(WSAENOTSOCK);
    if (!SetNonBlocking(s))
        return FailFromErrno();
    CNetworkEventSelections::Instance().Select(s, hEventObject, lNetworkEvents);
    return 0;
}

int WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents)
{
    if (!IsSocket(s))
        return Fail(WSAENOTSOCK);
    if (lpNetworkEvents == nullptr)
        return Fail(WSAEFAULT);
    if (!CNetworkEventSelections::Instance().Enumerate(s, hEventObject, *lpNetworkEvents))
        return Fail(WSAEINVAL);
    return 0;
}

int WSAIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID, DWORD, LPVOID lpvOutBuffer, DWORD cbOutBuffer,
             LPDWORD lpcbBytesReturned, LPVOID lpOverlapped, LPVOID lpCompletionRoutine)
{
    if (!IsSocket(s))
        return Fail(WSAENOTSOCK);
    // Only the interface list query, made synchronously, is offered.
    if (dwIoControlCode != SIO_GET_INTERFACE_LIST || lpOverlapped != nullptr ||
        lpCompletionRoutine != nullptr)
        return Fail(WSAEOPNOTSUPP);
    return GetInterfaceList(lpvOutBuffer, cbOutBuffer, lpcbBytesReturned);
}

void OfferVersionForTests(WORD wVersion)
{
    g_wOfferedVersion = wVersion;
}

} // namespace Winsock
