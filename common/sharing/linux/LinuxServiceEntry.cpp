// SPDX-License-Identifier: GPL-3.0-or-later
// This build's NetSharingManager: the machine's own sharing service over the kernel.
#include "LinuxSharingService.h"
#include "SharingServiceObjects.h"

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return MachineClassObject<CLinuxSharingService>(rclsid, riid, ppv);
}
