// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows COM is the system's own.
#pragma once

#include "WinTypes_win.h"

#include <cstdint>
#include <objbase.h>
#include <oleauto.h>

// A result code written as its published number.
constexpr HRESULT MakeHResult(std::uint32_t nCode)
{
    return static_cast<HRESULT>(nCode);
}
