// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the IP helper's interface notifications (NotifyIpInterfaceChange,
// CancelMibChangeNotify2) that behaves as Microsoft documents them, for where the system's never
// fire (Wine) or cannot be made to (a change of the in-memory service's connections): a change
// calls every callback on a thread of the stand-in's own, never the caller's; a cancel returns
// once a callback that is running has ended, and none runs after it.
#pragma once

#include "ConnectionsFollower.h"

#include <map>
#include <mutex>
#include <thread>

class CInterfaceNotificationsDouble
{
public:
    CConnectionsFollower::SNotifications Functions()
    {
        return {[this](PIPINTERFACE_CHANGE_CALLBACK pCallback, PVOID pContext, HANDLE* phHandle) {
                    std::lock_guard lock(m_Mutex);
                    const std::uintptr_t nHandle = ++m_nLastHandle;
                    m_Registered[nHandle] = {pCallback, pContext};
                    *phHandle = reinterpret_cast<HANDLE>(nHandle);
                    return static_cast<NETIO_STATUS>(NO_ERROR);
                },
                [this](HANDLE hHandle) {
                    // Held while callbacks run: a cancel waits for the one that is running.
                    std::lock_guard lock(m_Mutex);
                    return static_cast<NETIO_STATUS>(
                        m_Registered.erase(reinterpret_cast<std::uintptr_t>(hHandle)) == 1
                            ? NO_ERROR
                            : ERROR_NOT_FOUND);
                }};
    }

    // An interface changed, as the system tells it; returns once every callback has run.
    void Fire(MIB_NOTIFICATION_TYPE type = MibParameterNotification)
    {
        std::thread([this, type] {
            std::lock_guard lock(m_Mutex);
            for (const auto& [nHandle, registration] : m_Registered) {
                MIB_IPINTERFACE_ROW row{};
                row.Family = AF_INET;
                registration.first(registration.second, &row, type);
            }
        }).join();
    }

    std::size_t Registrations()
    {
        std::lock_guard lock(m_Mutex);
        return m_Registered.size();
    }

private:
    std::mutex m_Mutex;
    std::uintptr_t m_nLastHandle = 0;
    std::map<std::uintptr_t, std::pair<PIPINTERFACE_CHANGE_CALLBACK, PVOID>> m_Registered;
};
