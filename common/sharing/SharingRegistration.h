// SPDX-License-Identifier: GPL-3.0-or-later
// Makes this build's connection-sharing service the one that CoCreateInstance of
// NetSharingManager gives the process, for as long as the object lives, on a COM reference of its
// own that outlasts the program's: the in-memory service, or the machine's own on Linux. Windows'
// own service needs no registration. Each program, test and fuzz target that asks COM for the
// build's service makes one; the service chosen is the build's (TARNLOW_SHARING).
#pragma once

#include "Kernel.h"
#include "NetSharing.h"

class CSharingRegistration
{
public:
    CSharingRegistration();
    ~CSharingRegistration()
    {
        if (!m_bRegistered)
            return;
        CoRevokeClassObject(m_dwCookie);
        CoUninitialize();
    }
    CSharingRegistration(const CSharingRegistration&) = delete;
    CSharingRegistration& operator=(const CSharingRegistration&) = delete;

    // Registers the service's class object: what the build's constructor does.
    template <typename TService>
    void Register(TService& service);

private:
    DWORD m_dwCookie = 0;
    bool m_bRegistered = false;
};

template <typename TService>
void CSharingRegistration::Register(TService& service)
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr != S_OK && hr != S_FALSE) {
        OutputDebugStringA("CSharingRegistration::CSharingRegistration(): CoInitializeEx failed\n");
        return;
    }
    IUnknown* pFactory = nullptr;
    if (FAILED(service.GetClassObject(IID_IClassFactory, reinterpret_cast<void**>(&pFactory)))) {
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
