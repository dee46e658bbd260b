// SPDX-License-Identifier: GPL-3.0-or-later
// The C library's reentrant reading.
#pragma once

#include <ctime>

inline bool LocalTime(std::time_t time, std::tm& local)
{
    return localtime_r(&time, &local) != nullptr;
}
