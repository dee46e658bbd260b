// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper as the server uses it: address change notification, asked for with an OVERLAPPED
// whose event is signalled once, at the next change of an IPv4 address or of a link's state, and
// asked for again after each (only the asynchronous form is offered); interface change
// notification, a callback at each change of a link; and the route that the kernel would choose
// for a packet, with the adapter that it leaves by.
#pragma once

#include "Com_posix.h"

#include <netinet/in.h>
#include <string>

struct OVERLAPPED {
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;
using PHANDLE = HANDLE*;

inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_NOT_FOUND = 1168;

// ERROR_IO_PENDING when the event will be signalled at the next change; as on Windows, a second
// request on an OVERLAPPED whose first is still pending fails (ERROR_INVALID_PARAMETER).
DWORD NotifyAddrChange(PHANDLE Handle, LPOVERLAPPED overlapped);
// Stops a notification asked for with this OVERLAPPED that has not come yet; it is complete
// when this returns.
BOOL CancelIPChangeNotify(LPOVERLAPPED notifyOverlapped);
// How a notification ended: TRUE when the change came, FALSE with ERROR_OPERATION_ABORTED when it
// was cancelled, or with ERROR_IO_INCOMPLETE while it is pending and bWait is FALSE.
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, DWORD* lpNumberOfBytesTransferred,
                         BOOL bWait);

// Linux knows an adapter by its interface's name. Here an adapter's LUID is its interface index,
// and its GUID carries its name, so that the GUID outlives the index: a redialled ppp0 comes
// back with a new index.
union NET_LUID {
    std::uint64_t Value;
};
using NET_IFINDEX = ULONG;
using NETIO_STATUS = DWORD;
using ADDRESS_FAMILY = sa_family_t;

inline constexpr DWORD ERROR_NETWORK_UNREACHABLE = 1231;

union SOCKADDR_INET {
    sockaddr_in Ipv4;
    sockaddr_in6 Ipv6;
    ADDRESS_FAMILY si_family;
};

// The parts of the system's route row that a route query fills here.
struct MIB_IPFORWARD_ROW2 {
    NET_LUID InterfaceLuid;
    NET_IFINDEX InterfaceIndex;
    SOCKADDR_INET NextHop;
};

using BOOLEAN = unsigned char;
using PVOID = void*;

enum MIB_NOTIFICATION_TYPE {
    MibParameterNotification,
    MibAddInstance,
    MibDeleteInstance,
    MibInitialNotification,
};

// The parts of the system's IP interface row that a notification fills here.
struct MIB_IPINTERFACE_ROW {
    ADDRESS_FAMILY Family;
    NET_LUID InterfaceLuid;
    NET_IFINDEX InterfaceIndex;
};
using PMIB_IPINTERFACE_ROW = MIB_IPINTERFACE_ROW*;
using PIPINTERFACE_CHANGE_CALLBACK = void (*)(PVOID CallerContext, PMIB_IPINTERFACE_ROW Row,
                                              MIB_NOTIFICATION_TYPE NotificationType);

// Calls back, on a thread of the system's, at each change of a link (one that comes, goes, or
// changes its state), and once at once where asked, until cancelled. Any family is IPv4's here.
NETIO_STATUS NotifyIpInterfaceChange(ADDRESS_FAMILY Family, PIPINTERFACE_CHANGE_CALLBACK Callback,
                                     PVOID CallerContext, BOOLEAN InitialNotification,
                                     HANDLE* NotificationHandle);
// Ends the notifications: a callback that is running ends first, so it is never called from one.
NETIO_STATUS CancelMibChangeNotify2(HANDLE NotificationHandle);

// The route that a packet from the source to the destination would take, as the kernel chooses
// it (policy routing by source included); IPv4 only. No interface may be given.
NETIO_STATUS GetBestRoute2(NET_LUID* InterfaceLuid, NET_IFINDEX InterfaceIndex,
                           const SOCKADDR_INET* SourceAddress,
                           const SOCKADDR_INET* DestinationAddress, ULONG AddressSortOptions,
                           MIB_IPFORWARD_ROW2* BestRoute, SOCKADDR_INET* BestSourceAddress);
NETIO_STATUS ConvertInterfaceLuidToGuid(const NET_LUID* InterfaceLuid, GUID* InterfaceGuid);
// Our layer's own: the GUID of the adapter that is the interface of that name.
GUID InterfaceGuid(const std::string& strName);
