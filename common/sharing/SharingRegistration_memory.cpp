// SPDX-License-Identifier: GPL-3.0-or-later
// Windows with the in-memory service: its manager's class is registered with the system's COM for
// this process, on a COM reference of its own that outlasts the program's. Like the system's
// service it stands for, it needs a private side.
#include "SharingRegistration.h"

#include "MemorySharingService.h"
#include "NetSharing.h"

CSharingRegistration::CSharingRegistration()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr != S_OK && hr != S_FALSE) {
        OutputDebugStringA("CSharingRegistration::CSharingRegistration(): CoInitializeEx failed\n");
        return;
    }
    CMemorySharingService::Machine()->SetPrivateSideNeeded(true);
    IUnknown* pFactory = nullptr;
    if (FAILED(CMemorySharingService::Machine()->GetClassObject(
            IID_IClassFactory, reinterpret_cast<void**>(&pFactory)))) {
        CoUninitialize();
        return;
    }
    m_bRegistered = SUCCEEDED(CoRegisterClassObject(
        CLSID_NetSharingManager, pFactory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_dwCookie));
    pFactory->Release();
    if (!m_bRegistered) {
        OutputDebugStringA(
            "CSharingRegistration::CSharingRegistration(): CoRegisterClassObject failed\n");
        CoUninitialize();
    }
}

CSharingRegistration::~CSharingRegistration()
{
    if (!m_bRegistered)
        return;
    CoRevokeClassObject(m_dwCookie);
    CoUninitialize();
}
