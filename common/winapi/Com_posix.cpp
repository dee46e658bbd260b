// SPDX-License-Identifier: GPL-3.0-or-later
// COM for one process: a multithreaded apartment, security that can be set once, and object
// creation from registered class objects or from the build's own in-process classes.
#include "Com.h"

#include "ComObject.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace
{

struct SRegistration {
    DWORD dwCookie;
    CLSID clsid;
    IUnknown* pClassObject;
};

struct SCom {
    std::mutex Mutex;
    int nMultithreaded = 0;
    bool bSecurityInitialised = false;
    DWORD dwNextCookie = 1;
    std::vector<SRegistration> Registrations;
};

SCom& Com()
{
    static SCom* pCom = new SCom;
    return *pCom;
}

// Initialisations of the calling thread, and the apartment they chose.
thread_local int t_nInitialisations = 0;
thread_local DWORD t_dwApartment = COINIT_MULTITHREADED;
thread_local IErrorInfo* t_pErrorInfo = nullptr;

// A thread that has not initialised COM belongs to the multithreaded apartment if one exists.
bool MayUseCom()
{
    return t_nInitialisations > 0 || Com().nMultithreaded > 0;
}

IUnknown* FindRegisteredLocked(REFCLSID rclsid)
{
    const auto& registrations = Com().Registrations;
    for (auto it = registrations.rbegin(); it != registrations.rend(); ++it) {
        if (it->clsid == rclsid) {
            it->pClassObject->AddRef();
            return it->pClassObject;
        }
    }
    return nullptr;
}

HRESULT GetClassFactory(REFCLSID rclsid, IClassFactory** ppFactory)
{
    IUnknown* pRegistered = nullptr;
    {
        std::lock_guard lock(Com().Mutex);
        pRegistered = FindRegisteredLocked(rclsid);
    }
    if (pRegistered == nullptr)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr =
        pRegistered->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(ppFactory));
    pRegistered->Release();
    return hr;
}

// A BSTR carries its length in bytes in the four bytes before its first character.
constexpr std::size_t kLengthPrefix = sizeof(std::uint32_t);

} // namespace

int StringFromGUID2(const GUID& rguid, LPOLESTR lpsz, int cchMax)
{
    constexpr int kChars = 39;
    if (lpsz == nullptr || cchMax < kChars)
        return 0;
    const GUID& g = rguid;
    std::swprintf(lpsz, static_cast<std::size_t>(cchMax),
                  L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return kChars;
}

BSTR SysAllocString(const OLECHAR* psz)
{
    if (psz == nullptr)
        return nullptr;
    const std::size_t nChars = std::wcslen(psz);
    auto* pBlock = static_cast<unsigned char*>(
        ::operator new(kLengthPrefix + (nChars + 1) * sizeof(OLECHAR), std::nothrow));
    if (pBlock == nullptr)
        return nullptr;
    const auto nBytes = static_cast<std::uint32_t>(nChars * sizeof(OLECHAR));
    std::memcpy(pBlock, &nBytes, kLengthPrefix);
    auto* bstr = reinterpret_cast<BSTR>(pBlock + kLengthPrefix);
    std::memcpy(bstr, psz, (nChars + 1) * sizeof(OLECHAR));
    return bstr;
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString != nullptr)
        ::operator delete(reinterpret_cast<unsigned char*>(bstrString) - kLengthPrefix);
}

UINT SysStringLen(BSTR bstr)
{
    if (bstr == nullptr)
        return 0;
    std::uint32_t nBytes = 0;
    std::memcpy(&nBytes, reinterpret_cast<unsigned char*>(bstr) - kLengthPrefix, kLengthPrefix);
    return nBytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* pvarg)
{
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg)
{
    if (pvarg == nullptr)
        return E_INVALIDARG;
    if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) && pvarg->punkVal != nullptr)
        pvarg->punkVal->Release();
    else if (pvarg->vt == VT_BSTR)
        SysFreeString(pvarg->bstrVal);
    VariantInit(pvarg);
    return S_OK;
}

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    if (t_nInitialisations > 0) {
        if (t_dwApartment != dwCoInit)
            return RPC_E_CHANGED_MODE;
        ++t_nInitialisations;
        return S_FALSE;
    }
    t_dwApartment = dwCoInit;
    ++t_nInitialisations;
    if (dwCoInit == COINIT_MULTITHREADED) {
        std::lock_guard lock(Com().Mutex);
        ++Com().nMultithreaded;
    }
    return S_OK;
}

void CoUninitialize()
{
    if (t_nInitialisations == 0)
        return;
    --t_nInitialisations;
    if (t_nInitialisations == 0)
        SetErrorInfo(0, nullptr);
    if (t_nInitialisations == 0 && t_dwApartment == COINIT_MULTITHREADED) {
        std::lock_guard lock(Com().Mutex);
        // Once the last user is gone, COM leaves the process and security may be set anew.
        if (--Com().nMultithreaded == 0)
            Com().bSecurityInitialised = false;
    }
}

HRESULT CoInitializeSecurity(void*, LONG, void*, void*, DWORD, DWORD, void*, DWORD, void*)
{
    std::lock_guard lock(Com().Mutex);
    if (t_nInitialisations == 0)
        return CO_E_NOTINITIALIZED;
    if (Com().bSecurityInitialised)
        return RPC_E_TOO_LATE;
    Com().bSecurityInitialised = true;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    {
        std::lock_guard lock(Com().Mutex);
        if (!MayUseCom())
            return CO_E_NOTINITIALIZED;
    }
    if (pUnkOuter != nullptr)
        return CLASS_E_NOAGGREGATION;
    // Only in-process classes exist here.
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    IClassFactory* pFactory = nullptr;
    if (FAILED(GetClassFactory(rclsid, &pFactory)) || pFactory == nullptr)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr = pFactory->CreateInstance(nullptr, riid, ppv);
    pFactory->Release();
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext, DWORD,
                              LPDWORD lpdwRegister)
{
    if (pUnk == nullptr || lpdwRegister == nullptr)
        return E_INVALIDARG;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return E_INVALIDARG;
    std::lock_guard lock(Com().Mutex);
    if (!MayUseCom())
        return CO_E_NOTINITIALIZED;
    pUnk->AddRef();
    *lpdwRegister = Com().dwNextCookie++;
    Com().Registrations.push_back({*lpdwRegister, rclsid, pUnk});
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister)
{
    IUnknown* pClassObject = nullptr;
    {
        std::lock_guard lock(Com().Mutex);
        auto& registrations = Com().Registrations;
        for (auto it = registrations.begin(); it != registrations.end(); ++it) {
            if (it->dwCookie == dwRegister) {
                pClassObject = it->pClassObject;
                registrations.erase(it);
                break;
            }
        }
    }
    if (pClassObject == nullptr)
        return CO_E_OBJNOTREG;
    pClassObject->Release();
    return S_OK;
}

namespace
{

class CErrorInfo : public CWithInterface<CComObject<ICreateErrorInfo>, IErrorInfo, IID_IErrorInfo>
{
public:
    CErrorInfo() : CWithInterface(IID_ICreateErrorInfo) {}

    HRESULT SetDescription(const OLECHAR* szDescription) override
    {
        m_strDescription = szDescription != nullptr ? szDescription : L"";
        return S_OK;
    }
    HRESULT GetDescription(BSTR* pBstrDescription) override
    {
        if (pBstrDescription == nullptr)
            return E_POINTER;
        *pBstrDescription = SysAllocString(m_strDescription.c_str());
        return *pBstrDescription != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::wstring m_strDescription;
};

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = new (std::nothrow) CErrorInfo;
    return *pperrinfo != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(DWORD, IErrorInfo* perrinfo)
{
    if (perrinfo != nullptr)
        perrinfo->AddRef();
    if (t_pErrorInfo != nullptr)
        t_pErrorInfo->Release();
    t_pErrorInfo = perrinfo;
    return S_OK;
}

HRESULT GetErrorInfo(DWORD, IErrorInfo** pperrinfo)
{
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = std::exchange(t_pErrorInfo, nullptr);
    return *pperrinfo != nullptr ? S_OK : S_FALSE;
}
