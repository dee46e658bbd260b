// SPDX-License-Identifier: GPL-3.0-or-later
// The connection-sharing service's interfaces, with their published identifiers and codes, as
// far as the server uses them.
#pragma once

#include "Com_posix.h"
#include "UnusedMethods_posix.h"

enum NETCON_MEDIATYPE {
    NCM_NONE = 0,
    NCM_DIRECT = 1,
    NCM_ISDN = 2,
    NCM_LAN = 3,
    NCM_PHONE = 4,
    NCM_TUNNEL = 5,
    NCM_PPPOE = 6,
    NCM_BRIDGE = 7,
    NCM_SHAREDACCESSHOST_LAN = 8,
    NCM_SHAREDACCESSHOST_RAS = 9,
};

enum NETCON_STATUS {
    NCS_DISCONNECTED = 0,
    NCS_CONNECTING = 1,
    NCS_CONNECTED = 2,
    NCS_DISCONNECTING = 3,
    NCS_HARDWARE_NOT_PRESENT = 4,
    NCS_HARDWARE_DISABLED = 5,
    NCS_HARDWARE_MALFUNCTION = 6,
    NCS_MEDIA_DISCONNECTED = 7,
    NCS_AUTHENTICATING = 8,
    NCS_AUTHENTICATION_SUCCEEDED = 9,
    NCS_AUTHENTICATION_FAILED = 10,
    NCS_INVALID_ADDRESS = 11,
    NCS_CREDENTIALS_REQUIRED = 12,
};

enum SHARINGCONNECTIONTYPE {
    ICSSHARINGTYPE_PUBLIC = 0,
    ICSSHARINGTYPE_PRIVATE = 1,
};

enum SHARINGCONNECTION_ENUM_FLAGS {
    ICSSC_DEFAULT = 0,
    ICSSC_ENABLED = 1,
};

inline constexpr CLSID CLSID_NetSharingManager = {
    0x5C63C1AD, 0x3956, 0x4FF8, {0x84, 0x86, 0x40, 0x03, 0x47, 0x58, 0x31, 0x5B}};
inline constexpr IID IID_INetSharingManager = {
    0xC08956B7, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
inline constexpr IID IID_INetSharingEveryConnectionCollection = {
    0x33C4643C, 0x7811, 0x46FA, {0xA8, 0x9A, 0x76, 0x85, 0x97, 0xBD, 0x72, 0x23}};
inline constexpr IID IID_IEnumVARIANT = {
    0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_INetConnection = {
    0xC08956A1, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
inline constexpr IID IID_INetConnectionProps = {
    0xF4277C95, 0xCE5B, 0x463D, {0x81, 0x67, 0x56, 0x62, 0xD9, 0xBC, 0xAA, 0x72}};
inline constexpr IID IID_INetSharingPrivateConnectionCollection = {
    0x38AE69E0, 0x4409, 0x402A, {0xA2, 0xCB, 0xE9, 0x65, 0xC7, 0x27, 0xF8, 0x40}};
inline constexpr IID IID_INetSharingConfiguration = {
    0xC08956B6, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

struct IEnumVARIANT : IUnknown {
    virtual HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** ppEnum) = 0;

protected:
    ~IEnumVARIANT() = default;
};

// Only held and handed back to the manager.
struct INetConnection : IUnknown {
protected:
    ~INetConnection() = default;
};

struct INetConnectionProps : IUnknown {
    virtual HRESULT get_Guid(BSTR* pbstrGuid) = 0;
    virtual HRESULT get_Name(BSTR* pbstrName) = 0;
    virtual HRESULT get_Status(NETCON_STATUS* pStatus) = 0;
    virtual HRESULT get_MediaType(NETCON_MEDIATYPE* pMediaType) = 0;

protected:
    ~INetConnectionProps() = default;
};

struct INetSharingConfiguration : IUnknown {
    virtual HRESULT get_SharingEnabled(VARIANT_BOOL* pbEnabled) = 0;
    virtual HRESULT get_SharingConnectionType(SHARINGCONNECTIONTYPE* pType) = 0;
    virtual HRESULT DisableSharing() = 0;
    virtual HRESULT EnableSharing(SHARINGCONNECTIONTYPE Type) = 0;

protected:
    ~INetSharingConfiguration() = default;
};

struct INetSharingEveryConnectionCollection : IUnknown {
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT get_Count(long* pVal) = 0;

protected:
    ~INetSharingEveryConnectionCollection() = default;
};

struct INetSharingPrivateConnectionCollection : IUnknown {
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT get_Count(long* pVal) = 0;

protected:
    ~INetSharingPrivateConnectionCollection() = default;
};

struct INetSharingManager : IUnknown {
    virtual HRESULT get_EnumPrivateConnections(SHARINGCONNECTION_ENUM_FLAGS Flags,
                                               INetSharingPrivateConnectionCollection** ppColl) = 0;
    virtual HRESULT get_EnumEveryConnection(INetSharingEveryConnectionCollection** ppColl) = 0;
    virtual HRESULT get_NetConnectionProps(INetConnection* pNetConnection,
                                           INetConnectionProps** ppProps) = 0;
    virtual HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection* pNetConnection, INetSharingConfiguration** ppNetSharingConfiguration) = 0;

protected:
    ~INetSharingManager() = default;
};

// Linux's sharing masquerades every other network out through the shared connection: it has no
// private side to enable.
inline constexpr bool kSystemSharingNeedsPrivateSide = false;

// What a service may lack answers E_NOTIMPL, as the system's services do.
template <>
class CUnusedMethodsOf<INetConnectionProps> : public INetConnectionProps
{
public:
    HRESULT get_Guid(BSTR*) override { return E_NOTIMPL; }
};

template <>
class CUnusedMethodsOf<INetSharingManager> : public INetSharingManager
{
public:
    HRESULT get_EnumPrivateConnections(SHARINGCONNECTION_ENUM_FLAGS,
                                       INetSharingPrivateConnectionCollection**) override
    {
        return E_NOTIMPL;
    }
};
