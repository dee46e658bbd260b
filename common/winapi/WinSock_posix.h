// SPDX-License-Identifier: GPL-3.0-or-later
// Winsock 2.2 as the programs use it: the same names, constants, effects and error numbers on
// every platform. The calls live in namespace Winsock, because several share their names with
// the system's own socket calls, whose effects differ.
#pragma once

#include "Kernel_posix.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

// The byte-order conversions are functions, as in Winsock, not the C library's macros.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

using WSAEVENT = HANDLE;
inline constexpr WSAEVENT WSA_INVALID_EVENT = nullptr;

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

// Network events of WSAEventSelect and WSAEnumNetworkEvents.
inline constexpr int FD_READ_BIT = 0;
inline constexpr int FD_WRITE_BIT = 1;
inline constexpr int FD_OOB_BIT = 2;
inline constexpr int FD_ACCEPT_BIT = 3;
inline constexpr int FD_CONNECT_BIT = 4;
inline constexpr int FD_CLOSE_BIT = 5;
inline constexpr int FD_MAX_EVENTS = 10;
inline constexpr long FD_READ = 1 << FD_READ_BIT;
inline constexpr long FD_WRITE = 1 << FD_WRITE_BIT;
inline constexpr long FD_OOB = 1 << FD_OOB_BIT;
inline constexpr long FD_ACCEPT = 1 << FD_ACCEPT_BIT;
inline constexpr long FD_CONNECT = 1 << FD_CONNECT_BIT;
inline constexpr long FD_CLOSE = 1 << FD_CLOSE_BIT;

struct WSANETWORKEVENTS {
    long lNetworkEvents;
    int iErrorCode[FD_MAX_EVENTS];
};
using LPWSANETWORKEVENTS = WSANETWORKEVENTS*;

inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

// The interface list query of WSAIoctl and its 76-byte records.
inline constexpr DWORD SIO_GET_INTERFACE_LIST = 0x4004747F;

struct sockaddr_in6_old {
    short sin6_family;
    unsigned short sin6_port;
    std::uint32_t sin6_flowinfo;
    unsigned char sin6_addr[16];
};

union sockaddr_gen {
    sockaddr Address;
    sockaddr_in AddressIn;
    sockaddr_in6_old AddressIn6;
};

struct INTERFACE_INFO {
    std::uint32_t iiFlags;
    sockaddr_gen iiAddress;
    sockaddr_gen iiBroadcastAddress;
    sockaddr_gen iiNetmask;
};
static_assert(sizeof(INTERFACE_INFO) == 76, "INTERFACE_INFO has its Winsock size");

// Winsock error numbers, reported by WSAGetLastError on every platform.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSASYSCALLFAILURE = 10107;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

// Linux's SO_REUSEADDR is what Windows calls exclusive use: a second listener cannot bind the
// port, while a restarted server gets past its old connections' TIME_WAIT.
inline constexpr int SO_EXCLUSIVEADDRUSE = SO_REUSEADDR;

namespace Winsock
{

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int iError);

SOCKET socket(int af, int type, int protocol);
int closesocket(SOCKET s);
int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int bind(SOCKET s, const sockaddr* name, int namelen);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* addr, int* addrlen);
int connect(SOCKET s, const sockaddr* name, int namelen);
int getsockname(SOCKET s, sockaddr* name, int* namelen);
int send(SOCKET s, const char* buf, int len, int flags);
int recv(SOCKET s, char* buf, int len, int flags);
int shutdown(SOCKET s, int how);
// FIONBIO only: a socket selected onto an event object cannot be made blocking again.
int ioctlsocket(SOCKET s, long cmd, unsigned long* argp);
int gethostname(char* name, int namelen);
// The IPv4 addresses of a host name or dotted address; null when it does not resolve. The record
// belongs to the calling thread and lasts until its next call.
hostent* gethostbyname(const char* name);

WSAEVENT WSACreateEvent();
BOOL WSACloseEvent(WSAEVENT hEvent);
int WSAEventSelect(SOCKET s, WSAEVENT hEventObject, long lNetworkEvents);
int WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents);
int WSAIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer,
             LPVOID lpvOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPVOID lpOverlapped,
             LPVOID lpCompletionRoutine);

using ::htonl;
using ::htons;
using ::inet_addr;
using ::inet_ntoa;
using ::ntohl;
using ::ntohs;

// Fault injection for tests: the next WSAStartup calls report this version (0 restores 2.2).
void OfferVersionForTests(WORD wVersion);

} // namespace Winsock
