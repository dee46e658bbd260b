// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the IP helper is the system's own.
#pragma once

#include <winsock2.h>
// The route and interface rows of the IP helper need Winsock's IPv6 definitions first.
#include <ws2tcpip.h>

#include <iphlpapi.h>
