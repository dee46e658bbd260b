// SPDX-License-Identifier: GPL-3.0-or-later
// The system's cryptographic primitives as Windows offers them (CNG): the system's random source
// and SHA-256. The system's own on Windows; elsewhere our layer over the kernel's random source
// and Nettle, the library that every Debian has through apt's TLS.
#pragma once

#ifdef _WIN32
#include "WinTypes.h"

#include <bcrypt.h>
#else
#include "Bcrypt_posix.h"
#endif
