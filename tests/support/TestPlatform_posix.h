// SPDX-License-Identifier: GPL-3.0-or-later
// Here the platform services are our own layer.
#pragma once

inline constexpr bool kOwnPlatformLayer = true;

inline bool UnderWine()
{
    return false;
}
