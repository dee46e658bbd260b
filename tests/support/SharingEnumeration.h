// SPDX-License-Identifier: GPL-3.0-or-later
// Walks a sharing manager's every-connection enumeration as a client of the interfaces would.
#pragma once

#include "NetSharing.h"

#include <gtest/gtest.h>

// Calls onItem with each item of the enumeration; the item is cleared after the call.
template <typename TOnItem>
void ForEachItem(INetSharingManager* pManager, TOnItem onItem)
{
    INetSharingEveryConnectionCollection* pCollection = nullptr;
    ASSERT_EQ(pManager->get_EnumEveryConnection(&pCollection), S_OK);
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(pCollection->get__NewEnum(&pUnk), S_OK);
    pCollection->Release();
    IEnumVARIANT* pEnum = nullptr;
    ASSERT_EQ(pUnk->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&pEnum)), S_OK);
    pUnk->Release();
    VARIANT var;
    VariantInit(&var);
    while (pEnum->Next(1, &var, nullptr) == S_OK) {
        onItem(var);
        VariantClear(&var);
    }
    pEnum->Release();
}

// The item's INetConnection, or null when it has none.
inline INetConnection* ConnectionOf(const VARIANT& var)
{
    INetConnection* pConnection = nullptr;
    if (var.vt == VT_UNKNOWN && var.punkVal != nullptr)
        var.punkVal->QueryInterface(IID_INetConnection, reinterpret_cast<void**>(&pConnection));
    return pConnection;
}
