// SPDX-License-Identifier: GPL-3.0-or-later
// The small part of COM that the server uses: result codes, GUIDs, IUnknown, class factories,
// BSTR, VARIANT, apartment initialisation and security, and object creation over a table of
// in-process classes.
#pragma once

#include "WinTypes_posix.h"

using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t nCode)
{
    return static_cast<HRESULT>(nCode);
}

// A Windows error code as a result code, as the system's services return it.
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t nError)
{
    return nError == 0 ? 0 : MakeHResult((nError & 0xFFFF) | 0x80070000);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106);
inline constexpr HRESULT RPC_E_TOO_LATE = MakeHResult(0x80010119);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0);
inline constexpr HRESULT CO_E_OBJNOTREG = MakeHResult(0x800401FB);

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// COM interfaces have no virtual destructor: objects end themselves in Release.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};

using OLECHAR = wchar_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
BSTR SysAllocString(const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR bstr);
// The GUID in braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; the characters written with the
// NUL, or 0 when the buffer is too small.
int StringFromGUID2(const GUID& rguid, LPOLESTR lpsz, int cchMax);

using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
    };
};
void VariantInit(VARIANT* pvarg);
HRESULT VariantClear(VARIANT* pvarg);

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD RPC_C_AUTHN_LEVEL_PKT = 4;
inline constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
inline constexpr DWORD EOAC_NONE = 0;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_ALL = 0x17;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT CoInitializeSecurity(void* pSecDesc, LONG cAuthSvc, void* asAuthSvc, void* pReserved1,
                             DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList,
                             DWORD dwCapabilities, void* pReserved3);
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext, DWORD flags,
                              LPDWORD lpdwRegister);
HRESULT CoRevokeClassObject(DWORD dwRegister);

// COM's error information: the words a failed call leaves for its caller, one object per thread.
// Our interface has only the description, the one part that Tarnlow reads.
inline constexpr IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xC0, 0x9A}};

struct IErrorInfo : IUnknown {
    virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;

protected:
    ~IErrorInfo() = default;
};

inline constexpr IID IID_ICreateErrorInfo = {
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xC0, 0x9A}};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT SetDescription(const OLECHAR* szDescription) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

// A new error object, which also answers for IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Replaces the thread's error information (null clears it).
HRESULT SetErrorInfo(DWORD dwReserved, IErrorInfo* perrinfo);
// Hands the thread's error information over and clears it; S_FALSE, with null, when there is none.
HRESULT GetErrorInfo(DWORD dwReserved, IErrorInfo** pperrinfo);
