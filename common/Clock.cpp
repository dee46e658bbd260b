// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clock.h"

#include <algorithm>

CClock& CClock::System()
{
    static CClock clock;
    return clock;
}

CClock::SteadyTime CClock::SteadyNow() const
{
    return std::chrono::steady_clock::now();
}

CClock::WallTime CClock::WallNow() const
{
    return std::chrono::system_clock::now();
}

DWORD CClock::WaitUntil(DWORD nCount, const HANDLE* pHandles, std::optional<SteadyTime> deadline)
{
    for (;;) {
        DWORD dwTimeout = INFINITE;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyNow());
            if (left.count() <= 0)
                return WAIT_TIMEOUT;
            // A wait longer than the system's longest is made in steps.
            dwTimeout = static_cast<DWORD>(std::min<long long>(left.count(), INFINITE - 1));
        }
        const DWORD dwResult = WaitForMultipleObjects(nCount, pHandles, FALSE, dwTimeout);
        if (dwResult != WAIT_TIMEOUT)
            return dwResult;
    }
}
