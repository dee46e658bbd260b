// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's own sharing service, which under systemd remembers its sharing.
#include "SharingRegistration.h"

#include "LinuxSharingService.h"

CSharingRegistration::CSharingRegistration()
{
    Register(*CLinuxSharingService::Machine());
}
