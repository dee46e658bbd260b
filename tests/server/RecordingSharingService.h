// SPDX-License-Identifier: GPL-3.0-or-later
// A sharing service that passes every call on to an in-memory one and writes down what is asked
// of it, in order, how many of its objects are alive, and whether COM was still there when each
// of them went.
#pragma once

#include "ComObject.h"
#include "ComPtr.h"
#include "MemorySharingService.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct SServiceRecord {
    std::mutex Mutex;
    std::vector<std::string> Calls;
    int nLiveObjects = 0;
    int nReleasedWithoutCom = 0;

    void Add(const char* pszCall)
    {
        std::lock_guard lock(Mutex);
        Calls.emplace_back(pszCall);
    }
    std::vector<std::string> TakeCalls()
    {
        std::lock_guard lock(Mutex);
        return std::exchange(Calls, {});
    }
};

// COM is there while a class can be asked for: without it the answer is CO_E_NOTINITIALIZED.
// Asked in the process only: a class that is nowhere would otherwise be looked for by starting
// servers for it, which Wine takes seconds to give up on.
inline bool ComIsThere()
{
    constexpr CLSID kNoSuchClass = {
        0x7A3E51C0, 0x1D2B, 0x4C5E, {0x9F, 0x10, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70}};
    IUnknown* pUnknown = nullptr;
    const HRESULT hr = CoCreateInstance(kNoSuchClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                        reinterpret_cast<void**>(&pUnknown));
    if (pUnknown != nullptr)
        pUnknown->Release();
    return hr != CO_E_NOTINITIALIZED;
}

template <typename TInterface>
class CRecorded : public CComObject<TInterface>
{
public:
    CRecorded(REFIID iid, std::shared_ptr<SServiceRecord> pRecord)
        : CComObject<TInterface>(iid), m_pRecord(std::move(pRecord))
    {
        std::lock_guard lock(m_pRecord->Mutex);
        ++m_pRecord->nLiveObjects;
    }

protected:
    ~CRecorded() override
    {
        const bool bComThere = ComIsThere();
        std::lock_guard lock(m_pRecord->Mutex);
        --m_pRecord->nLiveObjects;
        if (!bComThere)
            ++m_pRecord->nReleasedWithoutCom;
    }

    std::shared_ptr<SServiceRecord> m_pRecord;
};

class CRecordedConnection : public CRecorded<INetConnection>
{
public:
    CRecordedConnection(std::shared_ptr<SServiceRecord> pRecord, INetConnection* pInner)
        : CRecorded(IID_INetConnection, std::move(pRecord))
    {
        pInner->AddRef();
        *m_pInner.Put() = pInner;
    }
    INetConnection* Inner() const { return m_pInner.Get(); }

private:
    CComPtr<INetConnection> m_pInner;
};

class CRecordedProps : public CRecorded<INetConnectionProps>
{
public:
    CRecordedProps(std::shared_ptr<SServiceRecord> pRecord, CComPtr<INetConnectionProps> pInner)
        : CRecorded(IID_INetConnectionProps, std::move(pRecord)), m_pInner(std::move(pInner))
    {
    }
    HRESULT get_Name(BSTR* pbstrName) override
    {
        m_pRecord->Add("name");
        return m_pInner->get_Name(pbstrName);
    }
    HRESULT get_Status(NETCON_STATUS* pStatus) override
    {
        m_pRecord->Add("status");
        return m_pInner->get_Status(pStatus);
    }
    HRESULT get_MediaType(NETCON_MEDIATYPE* pMediaType) override
    {
        m_pRecord->Add("media");
        return m_pInner->get_MediaType(pMediaType);
    }

private:
    CComPtr<INetConnectionProps> m_pInner;
};

class CRecordedConfiguration : public CRecorded<INetSharingConfiguration>
{
public:
    CRecordedConfiguration(std::shared_ptr<SServiceRecord> pRecord,
                           CComPtr<INetSharingConfiguration> pInner)
        : CRecorded(IID_INetSharingConfiguration, std::move(pRecord)), m_pInner(std::move(pInner))
    {
    }
    HRESULT get_SharingEnabled(VARIANT_BOOL* pbEnabled) override
    {
        m_pRecord->Add("enabled");
        return m_pInner->get_SharingEnabled(pbEnabled);
    }
    HRESULT get_SharingConnectionType(SHARINGCONNECTIONTYPE* pType) override
    {
        m_pRecord->Add("type");
        return m_pInner->get_SharingConnectionType(pType);
    }
    HRESULT DisableSharing() override
    {
        m_pRecord->Add("disable");
        return m_pInner->DisableSharing();
    }
    HRESULT EnableSharing(SHARINGCONNECTIONTYPE Type) override
    {
        m_pRecord->Add("enable");
        return m_pInner->EnableSharing(Type);
    }

private:
    CComPtr<INetSharingConfiguration> m_pInner;
};

// Hands out each connection of the inner enumeration as a recorded one.
class CRecordedEnum : public CRecorded<IEnumVARIANT>
{
public:
    CRecordedEnum(std::shared_ptr<SServiceRecord> pRecord, CComPtr<IEnumVARIANT> pInner)
        : CRecorded(IID_IEnumVARIANT, std::move(pRecord)), m_pInner(std::move(pInner))
    {
    }
    HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override
    {
        ULONG nFetched = 0;
        const HRESULT hr = m_pInner->Next(celt, rgVar, &nFetched);
        for (ULONG i = 0; i < nFetched; ++i)
            Wrap(rgVar[i]);
        if (pCeltFetched != nullptr)
            *pCeltFetched = nFetched;
        return hr;
    }
    HRESULT Skip(ULONG celt) override { return m_pInner->Skip(celt); }
    HRESULT Reset() override { return m_pInner->Reset(); }
    HRESULT Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

private:
    void Wrap(VARIANT& var)
    {
        if (var.vt != VT_UNKNOWN || var.punkVal == nullptr)
            return;
        CComPtr<INetConnection> pConnection;
        if (FAILED(var.punkVal->QueryInterface(IID_INetConnection, pConnection.PutVoid())))
            return;
        var.punkVal->Release();
        var.punkVal = new CRecordedConnection(m_pRecord, pConnection.Get());
    }

    CComPtr<IEnumVARIANT> m_pInner;
};

class CRecordedCollection : public CRecorded<INetSharingEveryConnectionCollection>
{
public:
    CRecordedCollection(std::shared_ptr<SServiceRecord> pRecord,
                        CComPtr<INetSharingEveryConnectionCollection> pInner)
        : CRecorded(IID_INetSharingEveryConnectionCollection, std::move(pRecord)),
          m_pInner(std::move(pInner))
    {
    }
    HRESULT get__NewEnum(IUnknown** pVal) override
    {
        CComPtr<IUnknown> pUnknown;
        m_pInner->get__NewEnum(pUnknown.Put());
        CComPtr<IEnumVARIANT> pEnum;
        if (pUnknown)
            pUnknown->QueryInterface(IID_IEnumVARIANT, pEnum.PutVoid());
        *pVal = pEnum ? new CRecordedEnum(m_pRecord, std::move(pEnum)) : nullptr;
        return *pVal != nullptr ? S_OK : E_FAIL;
    }
    HRESULT get_Count(long* pVal) override { return m_pInner->get_Count(pVal); }

private:
    CComPtr<INetSharingEveryConnectionCollection> m_pInner;
};

class CRecordedManager : public CRecorded<INetSharingManager>
{
public:
    CRecordedManager(std::shared_ptr<SServiceRecord> pRecord, CComPtr<INetSharingManager> pInner)
        : CRecorded(IID_INetSharingManager, std::move(pRecord)), m_pInner(std::move(pInner))
    {
    }
    HRESULT get_EnumEveryConnection(INetSharingEveryConnectionCollection** ppColl) override
    {
        CComPtr<INetSharingEveryConnectionCollection> pCollection;
        m_pInner->get_EnumEveryConnection(pCollection.Put());
        *ppColl =
            pCollection ? new CRecordedCollection(m_pRecord, std::move(pCollection)) : nullptr;
        return *ppColl != nullptr ? S_OK : E_FAIL;
    }
    HRESULT get_NetConnectionProps(INetConnection* pNetConnection,
                                   INetConnectionProps** ppProps) override
    {
        m_pRecord->Add("props");
        CComPtr<INetConnectionProps> pProps;
        const HRESULT hr = m_pInner->get_NetConnectionProps(Inner(pNetConnection), pProps.Put());
        *ppProps = pProps ? new CRecordedProps(m_pRecord, std::move(pProps)) : nullptr;
        return hr;
    }
    HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection* pNetConnection, INetSharingConfiguration** ppConfiguration) override
    {
        m_pRecord->Add("configuration");
        CComPtr<INetSharingConfiguration> pConfiguration;
        const HRESULT hr = m_pInner->get_INetSharingConfigurationForINetConnection(
            Inner(pNetConnection), pConfiguration.Put());
        *ppConfiguration = pConfiguration
                               ? new CRecordedConfiguration(m_pRecord, std::move(pConfiguration))
                               : nullptr;
        return hr;
    }

private:
    static INetConnection* Inner(INetConnection* pNetConnection)
    {
        auto* pRecorded = dynamic_cast<CRecordedConnection*>(pNetConnection);
        return pRecorded != nullptr ? pRecorded->Inner() : pNetConnection;
    }

    CComPtr<INetSharingManager> m_pInner;
};

class CRecordedFactory : public CComObject<IClassFactory>
{
public:
    CRecordedFactory(std::shared_ptr<SServiceRecord> pRecord,
                     std::shared_ptr<CMemorySharingService> pService)
        : CComObject(IID_IClassFactory), m_pRecord(std::move(pRecord)),
          m_pService(std::move(pService))
    {
    }
    HRESULT CreateInstance(IUnknown*, REFIID riid, void** ppvObject) override
    {
        CComPtr<INetSharingManager> pInner;
        const HRESULT hr = m_pService->CreateManager(IID_INetSharingManager, pInner.PutVoid());
        if (FAILED(hr))
            return hr;
        auto* pManager = new CRecordedManager(m_pRecord, std::move(pInner));
        const HRESULT hrQuery = pManager->QueryInterface(riid, ppvObject);
        pManager->Release();
        return hrQuery;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    std::shared_ptr<SServiceRecord> m_pRecord;
    std::shared_ptr<CMemorySharingService> m_pService;
};
