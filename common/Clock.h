// SPDX-License-Identifier: GPL-3.0-or-later
// CClock: the time of the server's host, wall and steady, and the waits of its timers (the
// address follower's retries and patience, the client rule's minute, the log's timestamps, a
// sharing's give-up window). The system's clock reads the system's time; a test's clock moves
// only when it is told and ends the waits that its move reaches, so that a minute passes at once.
#pragma once

#include "Kernel.h"

#include <chrono>
#include <optional>

class CClock
{
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    // The system's own time, for the life of the process.
    static CClock& System();

    CClock() = default;
    virtual ~CClock() = default;
    CClock(const CClock&) = delete;
    CClock& operator=(const CClock&) = delete;

    virtual SteadyTime SteadyNow() const;
    virtual WallTime WallNow() const;
    // Waits for one of the kernel objects, or until the steady time reaches the deadline (none:
    // no deadline): WAIT_OBJECT_0 + i for an object, WAIT_TIMEOUT for the deadline, or
    // WAIT_FAILED, as WaitForMultipleObjects answers.
    virtual DWORD WaitUntil(DWORD nCount, const HANDLE* pHandles,
                            std::optional<SteadyTime> deadline);
};
