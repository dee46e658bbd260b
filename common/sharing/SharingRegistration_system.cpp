// SPDX-License-Identifier: GPL-3.0-or-later
// Windows' own NetSharingManager needs no registration: the system's COM knows it.
#include "SharingRegistration.h"

CSharingRegistration::CSharingRegistration() = default;
