// SPDX-License-Identifier: GPL-3.0-or-later
// Makes a sharing service (or any class object) the one that CoCreateInstance of
// NetSharingManager gives the process, for as long as the object lives. COM must be initialised.
#pragma once

#include "Com.h"
#include "NetSharing.h"

#include <memory>

class CRegisteredService
{
public:
    // Takes the class object's reference.
    explicit CRegisteredService(IUnknown* pClassObject)
    {
        if (pClassObject == nullptr)
            return;
        m_hr = CoRegisterClassObject(CLSID_NetSharingManager, pClassObject, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &m_dwCookie);
        pClassObject->Release();
    }

    template <typename TService>
    explicit CRegisteredService(const std::shared_ptr<TService>& pService)
        : CRegisteredService(ClassObjectOf(*pService))
    {
    }

    ~CRegisteredService()
    {
        if (SUCCEEDED(m_hr))
            CoRevokeClassObject(m_dwCookie);
    }

    CRegisteredService(const CRegisteredService&) = delete;
    CRegisteredService& operator=(const CRegisteredService&) = delete;

    HRESULT Result() const { return m_hr; }

private:
    template <typename TService>
    static IUnknown* ClassObjectOf(TService& service)
    {
        IUnknown* pClassObject = nullptr;
        service.GetClassObject(IID_IUnknown, reinterpret_cast<void**>(&pClassObject));
        return pClassObject;
    }

    HRESULT m_hr = E_POINTER;
    DWORD m_dwCookie = 0;
};
