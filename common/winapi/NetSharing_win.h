// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the connection-sharing service is the system's own NetSharingManager (hnetcfg).
#pragma once

#include "Com_win.h"

#include "UnusedMethods_win.h"

#include <netcon.h>

// The system's service shares a public connection to a private one, both enabled.
inline constexpr bool kSystemSharingNeedsPrivateSide = true;

// The system's sharing interfaces are dispatch interfaces with more methods than Tarnlow calls;
// these answer the rest.
template <>
class CUnusedMethodsOf<INetConnection> : public INetConnection
{
public:
    HRESULT STDMETHODCALLTYPE Connect() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Duplicate(LPCWSTR, INetConnection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperties(NETCON_PROPERTIES**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUiObjectClassId(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Rename(LPCWSTR) override { return E_NOTIMPL; }
};

template <>
class CUnusedMethodsOf<INetConnectionProps> : public CUnusedDispatch<INetConnectionProps>
{
public:
    HRESULT STDMETHODCALLTYPE get_Guid(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DeviceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Characteristics(DWORD*) override { return E_NOTIMPL; }
};

template <>
class CUnusedMethodsOf<INetSharingConfiguration> : public CUnusedDispatch<INetSharingConfiguration>
{
public:
    HRESULT STDMETHODCALLTYPE get_InternetFirewallEnabled(VARIANT_BOOL*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DisableInternetFirewall() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableInternetFirewall() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_EnumPortMappings(SHARINGCONNECTION_ENUM_FLAGS,
                                                   INetSharingPortMappingCollection**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddPortMapping(BSTR, UCHAR, USHORT, USHORT, DWORD, BSTR,
                                             ICS_TARGETTYPE, INetSharingPortMapping**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemovePortMapping(INetSharingPortMapping*) override
    {
        return E_NOTIMPL;
    }
};

template <>
class CUnusedMethodsOf<INetSharingEveryConnectionCollection>
    : public CUnusedDispatch<INetSharingEveryConnectionCollection>
{
};

template <>
class CUnusedMethodsOf<INetSharingPrivateConnectionCollection>
    : public CUnusedDispatch<INetSharingPrivateConnectionCollection>
{
};

template <>
class CUnusedMethodsOf<INetSharingManager> : public CUnusedDispatch<INetSharingManager>
{
public:
    HRESULT STDMETHODCALLTYPE get_SharingInstalled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_EnumPublicConnections(
        SHARINGCONNECTION_ENUM_FLAGS, INetSharingPublicConnectionCollection**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_EnumPrivateConnections(
        SHARINGCONNECTION_ENUM_FLAGS, INetSharingPrivateConnectionCollection**) override
    {
        return E_NOTIMPL;
    }
};
