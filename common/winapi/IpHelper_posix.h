// SPDX-License-Identifier: GPL-3.0-or-later
// Address change notification as the IP helper offers it: asked for with an OVERLAPPED whose event
// is signalled once, at the next change of an IPv4 address or of a link's state, and asked for
// again after each. Only the asynchronous form is offered.
#pragma once

#include "WinTypes_posix.h"

struct OVERLAPPED {
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;
using PHANDLE = HANDLE*;

inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_NOT_FOUND = 1168;

// ERROR_IO_PENDING when the event will be signalled at the next change.
DWORD NotifyAddrChange(PHANDLE Handle, LPOVERLAPPED overlapped);
// Stops a notification asked for with this OVERLAPPED, whether it has come or not.
BOOL CancelIPChangeNotify(LPOVERLAPPED notifyOverlapped);
