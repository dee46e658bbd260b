// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the platform services are the system's; Wine stands in for it in CI.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <ctime>

inline constexpr bool kOwnPlatformLayer = false;

inline bool UnderWine()
{
    const HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != nullptr && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

// The time zone of local times; null for the machine's own.
inline void SetTimeZone(const char* pszZone)
{
    ::_putenv_s("TZ", pszZone != nullptr ? pszZone : "");
    ::_tzset();
}
