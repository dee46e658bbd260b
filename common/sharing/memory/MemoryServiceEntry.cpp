// SPDX-License-Identifier: GPL-3.0-or-later
// This build's NetSharingManager: the in-memory service of this process.
#include "MemorySharingService.h"
#include "SharingServiceObjects.h"

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return MachineClassObject<CMemorySharingService>(rclsid, riid, ppv);
}
