// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows, Winsock 2.2 is the system's own; namespace Winsock names its calls, so that the
// programs call them alike on every platform. Only WSAStartup is ours, for the tests' fault of
// an unsupported version.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include "Kernel_win.h"

namespace Winsock
{

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
// Fault injection for tests: the next WSAStartup calls report this version (0 restores 2.2).
void OfferVersionForTests(WORD wVersion);

using ::accept;
using ::bind;
using ::closesocket;
using ::connect;
using ::gethostbyname;
using ::gethostname;
using ::getsockname;
using ::htonl;
using ::htons;
using ::inet_addr;
using ::inet_ntoa;
using ::ioctlsocket;
using ::listen;
using ::ntohl;
using ::ntohs;
using ::recv;
using ::send;
using ::setsockopt;
using ::shutdown;
using ::socket;
using ::WSACleanup;
using ::WSACloseEvent;
using ::WSACreateEvent;
using ::WSAEnumNetworkEvents;
using ::WSAEventSelect;
using ::WSAGetLastError;
using ::WSAIoctl;
using ::WSASetLastError;

} // namespace Winsock
