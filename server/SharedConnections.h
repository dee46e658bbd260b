// SPDX-License-Identifier: GPL-3.0-or-later
// CSharedConnections: the program's one connection sharing manager and the lock that guards it.
// Both threads use it (the Connections page on the window's thread, request handling and the
// client rule on the listener's), always under the lock, and never while waiting for the other.
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
        return call(m_Manager);
    }

private:
    std::mutex m_Mutex;
    CMyNetConnection m_Manager;
};
