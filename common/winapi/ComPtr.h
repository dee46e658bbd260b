// SPDX-License-Identifier: GPL-3.0-or-later
// CComPtr: owns one reference to a COM interface and releases it when reset, replaced or
// destroyed, so that no path forgets a Release.
#pragma once

#include "Com.h"

template <typename TInterface>
class CComPtr
{
public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_pInterface(other.m_pInterface)
    {
        other.m_pInterface = nullptr;
    }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_pInterface = other.m_pInterface;
            other.m_pInterface = nullptr;
        }
        return *this;
    }

    TInterface* Get() const { return m_pInterface; }
    TInterface* operator->() const { return m_pInterface; }
    explicit operator bool() const { return m_pInterface != nullptr; }

    // Lets go of the reference held, if any.
    void Reset()
    {
        if (m_pInterface != nullptr)
            m_pInterface->Release();
        m_pInterface = nullptr;
    }

    // For a call that hands out a new reference: the old one is released first.
    TInterface** Put()
    {
        Reset();
        return &m_pInterface;
    }

    // As Put, for calls that take the address as void**.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

private:
    TInterface* m_pInterface = nullptr;
};
