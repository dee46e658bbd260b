// SPDX-License-Identifier: GPL-3.0-or-later
// The part of CNG that the server uses: the system's preferred random source, and SHA-256 from an
// algorithm provider, through a hash object whose memory CNG keeps. The names, types and results
// are Windows'.
#pragma once

#include "WinTypes.h"

#include <cstdint>

using NTSTATUS = LONG;
using UCHAR = unsigned char;
using PUCHAR = UCHAR*;
using LPCWSTR = const wchar_t*;
using BCRYPT_ALG_HANDLE = void*;
using BCRYPT_HASH_HANDLE = void*;

inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000D);
inline constexpr NTSTATUS STATUS_NOT_FOUND = static_cast<NTSTATUS>(0xC0000225);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = static_cast<NTSTATUS>(0xC0000008);
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = static_cast<NTSTATUS>(0xC0000001);
inline constexpr ULONG BCRYPT_USE_SYSTEM_PREFERRED_RNG = 0x00000002;
#define BCRYPT_SHA256_ALGORITHM L"SHA256"
#define BCRYPT_SUCCESS(status) ((status) >= 0)

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* phAlgorithm, LPCWSTR pszAlgId,
                                     LPCWSTR pszImplementation, ULONG dwFlags);
// A keyed hash (an HMAC) and a hash object in the caller's memory are not provided: the secret
// and the object must be none.
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE* phHash,
                          PUCHAR pbHashObject, ULONG cbHashObject, PUCHAR pbSecret, ULONG cbSecret,
                          ULONG dwFlags);
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR pbInput, ULONG cbInput, ULONG dwFlags);
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR pbOutput, ULONG cbOutput, ULONG dwFlags);
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash);
NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE hAlgorithm, PUCHAR pbBuffer, ULONG cbBuffer,
                         ULONG dwFlags);
