// SPDX-License-Identifier: GPL-3.0-or-later
// CSharedConnections: the program's one connection sharing manager and the lock that guards it.
// Both threads use it (the Connections page on the window's thread, request handling and the
// client rule on the listener's), always under the lock, and never while waiting for the other.
// Each use is one reading of the system, where the service offers it: a refresh or a list asks
// the system once, and a change is read again after it is made.
#pragma once

#include "server/MyNetConnection.h"

#include <mutex>

class CSharedConnections
{
public:
    CSharedConnections() = default;
    CSharedConnections(const CSharedConnections&) = delete;
    CSharedConnections& operator=(const CSharedConnections&) = delete;

    // Runs the call with the manager, under the lock, and gives what the call gives.
    template <typename TCall>
    auto With(TCall call)
    {
        std::lock_guard lock(m_Mutex);
        const CReading reading(m_Manager);
        return call(m_Manager);
    }

private:
    class CReading
    {
    public:
        explicit CReading(CMyNetConnection& manager) : m_Manager(manager)
        {
            m_Manager.BeginReading();
        }
        ~CReading() { m_Manager.EndReading(); }
        CReading(const CReading&) = delete;
        CReading& operator=(const CReading&) = delete;

    private:
        CMyNetConnection& m_Manager;
    };

    std::mutex m_Mutex;
    CMyNetConnection m_Manager;
};
