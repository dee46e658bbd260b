// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory service stands for the system's of this platform: on Windows it needs a private
// side, as the system's does.
#include "SharingRegistration.h"

#include "MemorySharingService.h"
#include "NetSharing.h"

CSharingRegistration::CSharingRegistration()
{
    CMemorySharingService::Machine()->SetPrivateSideNeeded(kSystemSharingNeedsPrivateSide);
    Register(*CMemorySharingService::Machine());
}
