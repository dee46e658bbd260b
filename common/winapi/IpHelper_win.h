// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the IP helper is the system's own.
#pragma once

#include <winsock2.h>

#include <iphlpapi.h>
