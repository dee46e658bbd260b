// SPDX-License-Identifier: GPL-3.0-or-later
// A clock that a test moves: its time stands still until Advance, which ends every wait whose
// deadline the move reaches, so that a minute of the server's timers passes at once. A test waits
// until a timer is set (WaitUntilAsleep) before it moves the clock past it.
#pragma once

#include "Clock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

class CTestClock : public CClock
{
public:
    CTestClock()
        : m_Steady(std::chrono::steady_clock::now()), m_Wall(std::chrono::system_clock::now())
    {
    }

    SteadyTime SteadyNow() const override
    {
        std::lock_guard lock(m_Mutex);
        return m_Steady;
    }

    WallTime WallNow() const override
    {
        std::lock_guard lock(m_Mutex);
        return m_Wall;
    }

    void Advance(std::chrono::milliseconds by)
    {
        std::lock_guard lock(m_Mutex);
        m_Steady += by;
        m_Wall += by;
        for (const HANDLE hWaiter : m_Waiters)
            SetEvent(hWaiter);
    }

    // Until a wait sleeps on a deadline that the clock has not reached; false after 30 seconds
    // (a bound for a condition that never comes).
    bool WaitUntilAsleep()
    {
        std::unique_lock lock(m_Mutex);
        return m_Asleep.wait_for(lock, std::chrono::seconds(30), [this] {
            return m_Deadlines.upper_bound(m_Steady) != m_Deadlines.end();
        });
    }

    DWORD WaitUntil(DWORD nCount, const HANDLE* pHandles,
                    std::optional<SteadyTime> deadline) override
    {
        std::vector<HANDLE> handles(pHandles, pHandles + nCount);
        const HANDLE hMoved = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        handles.push_back(hMoved);
        Register(hMoved, deadline);
        DWORD dwResult = WAIT_TIMEOUT;
        while (!deadline || SteadyNow() < *deadline) {
            dwResult = WaitForMultipleObjects(nCount + 1, handles.data(), FALSE, INFINITE);
            if (dwResult != WAIT_OBJECT_0 + nCount)
                break;
            dwResult = WAIT_TIMEOUT;
        }
        Unregister(hMoved, deadline);
        CloseHandle(hMoved);
        return dwResult;
    }

private:
    void Register(HANDLE hMoved, std::optional<SteadyTime> deadline)
    {
        {
            std::lock_guard lock(m_Mutex);
            m_Waiters.push_back(hMoved);
            if (deadline)
                m_Deadlines.insert(*deadline);
        }
        m_Asleep.notify_all();
    }

    void Unregister(HANDLE hMoved, std::optional<SteadyTime> deadline)
    {
        std::lock_guard lock(m_Mutex);
        std::erase(m_Waiters, hMoved);
        if (deadline)
            m_Deadlines.erase(m_Deadlines.find(*deadline));
    }

    mutable std::mutex m_Mutex;
    std::condition_variable m_Asleep;
    SteadyTime m_Steady;
    WallTime m_Wall;
    std::vector<HANDLE> m_Waiters;
    std::multiset<SteadyTime> m_Deadlines;
};
