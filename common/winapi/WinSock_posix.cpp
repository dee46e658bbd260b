// SPDX-License-Identifier: GPL-3.0-or-later
// Winsock's calls over POSIX sockets; the error numbers, the network events and the interface list
// are in files of their own (WinSockLayer_posix.h).
#include "WinSockLayer_posix.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace WinsockLayer;

namespace
{

std::atomic<int> g_nStartups{0};
std::atomic<WORD> g_wOfferedVersion{0};

constexpr WORD kSupportedVersion = MAKEWORD(2, 2);

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

int getsockname(SOCKET s, sockaddr* name, int* namelen)
{
    if (namelen == nullptr || *namelen < 0)
        return Fail(WSAEFAULT);
    socklen_t nLength = static_cast<socklen_t>(*namelen);
    const int nResult = Result(::getsockname(s, name, &nLength));
    *namelen = static_cast<int>(nLength);
    return nResult;
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

int ioctlsocket(SOCKET s, long cmd, unsigned long* argp)
{
    if (!IsSocket(s))
        return Fail(WSAENOTSOCK);
    if (cmd != static_cast<long>(FIONBIO) || argp == nullptr)
        return Fail(WSAEINVAL);
    if (*argp != 0)
        return SetNonBlocking(s) ? 0 : FailFromErrno();
    if (CNetworkEventSelections::Instance().IsSelected(s))
        return Fail(WSAEINVAL);
    return SetBlocking(s) ? 0 : FailFromErrno();
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
