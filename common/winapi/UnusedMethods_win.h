// SPDX-License-Identifier: GPL-3.0-or-later
// The system's interfaces may have more methods than Tarnlow calls: an object of ours answers the
// rest through CUnusedMethodsOf, which the interfaces' own header specialises (NetSharing_win.h),
// and a dispatch interface's through CUnusedDispatch.
#pragma once

#include "Com_win.h"

template <typename TInterface>
class CUnusedMethodsOf : public TInterface
{
};

template <typename TInterface>
class CUnusedDispatch : public TInterface
{
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (pctinfo == nullptr)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return E_NOTIMPL;
    }
};
