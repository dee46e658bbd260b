// SPDX-License-Identifier: GPL-3.0-or-later
// Our layer's interfaces hold only the methods that Tarnlow calls. Those that a service may lack
// answer E_NOTIMPL, as the system's do where a service has no such thing.
#pragma once

#include "NetSharing_posix.h"

template <typename TInterface>
class CUnusedMethodsOf : public TInterface
{
};

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
