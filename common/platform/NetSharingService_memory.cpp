// This build's NetSharingManager: the in-memory service of this process.
#include "MemorySharingService.h"

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_NetSharingManager)
        return CLASS_E_CLASSNOTAVAILABLE;
    return CMemorySharingService::Machine()->GetClassObject(riid, ppv);
}
