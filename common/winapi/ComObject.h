// SPDX-License-Identifier: GPL-3.0-or-later
// Reference counting and QueryInterface for this layer's own COM objects and for test doubles:
// an object that exposes IUnknown and one interface, or two.
#pragma once

#include "Com.h"
#include "UnusedMethods.h"

#include <atomic>

template <typename TInterface>
class CComObject : public CUnusedMethodsOf<TInterface>
{
public:
    explicit CComObject(REFIID iid) : m_iid(iid) {}
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override
    {
        if (ppvObject == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == m_iid) {
            *ppvObject = static_cast<TInterface*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }

    ULONG AddRef() override { return ++m_nReferences; }

    ULONG Release() override
    {
        const ULONG nReferences = --m_nReferences;
        if (nReferences == 0)
            delete this;
        return nReferences;
    }

protected:
    virtual ~CComObject() = default;

private:
    std::atomic<ULONG> m_nReferences{1};
    const IID m_iid;
};

// An object of TBase (a CComObject, or one built on it) that also exposes a second interface,
// with one reference count for both.
template <typename TBase, typename TSecond, const IID& kSecondIid>
class CWithInterface : public TBase, public TSecond
{
public:
    using TBase::TBase;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override
    {
        if (ppvObject == nullptr || riid != kSecondIid)
            return TBase::QueryInterface(riid, ppvObject);
        *ppvObject = static_cast<TSecond*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return TBase::AddRef(); }
    ULONG Release() override { return TBase::Release(); }
};
