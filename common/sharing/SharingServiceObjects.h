// SPDX-License-Identifier: GPL-3.0-or-later
// What the sharing services' COM objects have in common: an object that belongs to a service and
// stands for one of its connections, an enumeration over a snapshot of a service's items, and the
// class factory that makes a service's manager.
#pragma once

#include "ComObject.h"
#include "NetSharing.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

template <typename TInterface, typename TService, typename TKey>
class CServiceObject : public CComObject<TInterface>
{
public:
    const std::shared_ptr<TService>& Service() const { return m_pService; }
    const TKey& Key() const { return m_Key; }

protected:
    CServiceObject(REFIID iid, std::shared_ptr<TService> pService, TKey key)
        : CComObject<TInterface>(iid), m_pService(std::move(pService)), m_Key(std::move(key))
    {
    }

    std::shared_ptr<TService> m_pService;
    TKey m_Key;
};

// Leaves the reason for a failed call as the calling thread's COM error information, where the
// caller looks for it; returns the result unchanged.
inline HRESULT ReportFailure(HRESULT hr, const std::wstring& strDescription)
{
    ICreateErrorInfo* pCreate = nullptr;
    if (FAILED(CreateErrorInfo(&pCreate)))
        return hr;
    pCreate->SetDescription(const_cast<OLECHAR*>(strDescription.c_str()));
    IErrorInfo* pInfo = nullptr;
    if (SUCCEEDED(pCreate->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&pInfo)))) {
        SetErrorInfo(0, pInfo);
        pInfo->Release();
    }
    pCreate->Release();
    return hr;
}

// The connection must be one of this service's own.
template <typename TConnection, typename TService>
const TConnection* OwnConnection(INetConnection* pNetConnection, const TService* pService)
{
    const auto* pConnection = dynamic_cast<const TConnection*>(pNetConnection);
    return pConnection != nullptr && pConnection->Service().get() == pService ? pConnection
                                                                              : nullptr;
}

// An enumeration over a snapshot of a service's items; TDerived makes each item and is what a
// clone is made as.
template <typename TDerived, typename TService, typename TItem>
class CSnapshotEnumVariant : public CComObject<IEnumVARIANT>
{
public:
    HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override
    {
        if (rgVar == nullptr)
            return E_POINTER;
        ULONG nFetched = 0;
        for (; nFetched < celt && m_nNext < m_Items.size(); ++nFetched)
            MakeItem(m_Items[m_nNext++], rgVar[nFetched]);
        if (pCeltFetched != nullptr)
            *pCeltFetched = nFetched;
        return nFetched == celt ? S_OK : S_FALSE;
    }

    HRESULT Skip(ULONG celt) override
    {
        const std::size_t nLeft = m_Items.size() - m_nNext;
        m_nNext += std::min<std::size_t>(celt, nLeft);
        return celt <= nLeft ? S_OK : S_FALSE;
    }

    HRESULT Reset() override
    {
        m_nNext = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumVARIANT** ppEnum) override
    {
        if (ppEnum == nullptr)
            return E_POINTER;
        *ppEnum = new TDerived(m_pService, m_Items, m_nNext);
        return S_OK;
    }

protected:
    CSnapshotEnumVariant(std::shared_ptr<TService> pService, std::vector<TItem> items,
                         std::size_t nNext)
        : CComObject(IID_IEnumVARIANT), m_pService(std::move(pService)), m_Items(std::move(items)),
          m_nNext(nNext)
    {
    }

    std::shared_ptr<TService> m_pService;

private:
    virtual void MakeItem(const TItem& item, VARIANT& var) const = 0;

    std::vector<TItem> m_Items;
    std::size_t m_nNext;
};

// A collection of connections (every one, or the private ones): each enumeration takes a new
// snapshot of the service's items.
template <typename TService, typename TEnum, auto Snapshot,
          typename TCollection = INetSharingEveryConnectionCollection,
          const IID& kIid = IID_INetSharingEveryConnectionCollection>
class CSnapshotCollection : public CComObject<TCollection>
{
public:
    explicit CSnapshotCollection(std::shared_ptr<TService> pService)
        : CComObject<TCollection>(kIid), m_pService(std::move(pService))
    {
    }

    HRESULT get__NewEnum(IUnknown** pVal) override
    {
        if (pVal == nullptr)
            return E_POINTER;
        *pVal = new TEnum(m_pService, (m_pService.get()->*Snapshot)());
        return S_OK;
    }

    HRESULT get_Count(long* pVal) override
    {
        if (pVal == nullptr)
            return E_POINTER;
        *pVal = static_cast<long>((m_pService.get()->*Snapshot)().size());
        return S_OK;
    }

private:
    std::shared_ptr<TService> m_pService;
};

// What every manager does alike: it belongs to its service and enumerates its connections.
template <typename TService, typename TCollection>
class CSharingManagerBase : public CComObject<INetSharingManager>
{
public:
    explicit CSharingManagerBase(std::shared_ptr<TService> pService)
        : CComObject(IID_INetSharingManager), m_pService(std::move(pService))
    {
    }

    HRESULT get_EnumEveryConnection(INetSharingEveryConnectionCollection** ppColl) override
    {
        if (ppColl == nullptr)
            return E_POINTER;
        *ppColl = new TCollection(m_pService);
        return S_OK;
    }

protected:
    std::shared_ptr<TService> m_pService;
};

template <typename TService>
class CSharingClassFactory : public CComObject<IClassFactory>
{
public:
    explicit CSharingClassFactory(std::shared_ptr<TService> pService)
        : CComObject(IID_IClassFactory), m_pService(std::move(pService))
    {
    }

    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (ppvObject == nullptr)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter != nullptr)
            return CLASS_E_NOAGGREGATION;
        return m_pService->CreateManager(riid, ppvObject);
    }

    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    std::shared_ptr<TService> m_pService;
};

// Hands out the requested interface of a new object and lets go of the creator's reference.
template <typename TObject>
HRESULT QueryNewObject(TObject* pObject, REFIID riid, void** ppv)
{
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}
