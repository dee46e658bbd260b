// This build's NetSharingManager: the machine's own sharing service over the kernel.
#include "LinuxSharingService.h"

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_NetSharingManager)
        return CLASS_E_CLASSNOTAVAILABLE;
    return CLinuxSharingService::Machine()->GetClassObject(riid, ppv);
}
