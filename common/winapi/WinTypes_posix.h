// SPDX-License-Identifier: GPL-3.0-or-later
// The basic Windows types and constants that the programs use, with their Windows sizes.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using HANDLE = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr WORD MAKEWORD(BYTE bLow, BYTE bHigh)
{
    return static_cast<WORD>(bLow | (bHigh << 8));
}
constexpr BYTE LOBYTE(WORD w)
{
    return static_cast<BYTE>(w & 0xFF);
}
constexpr BYTE HIBYTE(WORD w)
{
    return static_cast<BYTE>(w >> 8);
}

// Error numbers reported by GetLastError.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr DWORD ERROR_ACCESS_DISABLED_BY_POLICY = 1260;
