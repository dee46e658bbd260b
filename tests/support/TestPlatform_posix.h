// SPDX-License-Identifier: GPL-3.0-or-later
// Here the platform services are our own layer.
#pragma once

#include <cstdlib>
#include <ctime>

inline constexpr bool kOwnPlatformLayer = true;

inline bool UnderWine()
{
    return false;
}

// The time zone of local times; null for the machine's own.
inline void SetTimeZone(const char* pszZone)
{
    if (pszZone != nullptr)
        ::setenv("TZ", pszZone, 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
