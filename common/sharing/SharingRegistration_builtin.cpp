// SPDX-License-Identifier: GPL-3.0-or-later
// The service is found without registering it: the system's own on Windows, the build's own
// through our COM elsewhere.
#include "SharingRegistration.h"

CSharingRegistration::CSharingRegistration() = default;

CSharingRegistration::~CSharingRegistration() = default;
