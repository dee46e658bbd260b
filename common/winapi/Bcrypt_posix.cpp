// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bcrypt.h"

#include <cerrno>
#include <cwchar>
#include <nettle/sha2.h>
#include <sys/random.h>

namespace
{

// The one algorithm this layer provides; its handle is its own address.
const int kSha256Provider = 0;

} // namespace

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* phAlgorithm, LPCWSTR pszAlgId,
                                     LPCWSTR pszImplementation, ULONG dwFlags)
{
    if (phAlgorithm == nullptr || pszAlgId == nullptr || pszImplementation != nullptr ||
        dwFlags != 0)
        return STATUS_INVALID_PARAMETER;
    if (std::wcscmp(pszAlgId, BCRYPT_SHA256_ALGORITHM) != 0)
        return STATUS_NOT_FOUND;
    *phAlgorithm = const_cast<int*>(&kSha256Provider);
    return STATUS_SUCCESS;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE* phHash,
                          PUCHAR pbHashObject, ULONG cbHashObject, PUCHAR pbSecret, ULONG cbSecret,
                          ULONG dwFlags)
{
    if (hAlgorithm != &kSha256Provider)
        return STATUS_INVALID_HANDLE;
    if (phHash == nullptr || pbHashObject != nullptr || cbHashObject != 0 || pbSecret != nullptr ||
        cbSecret != 0 || dwFlags != 0)
        return STATUS_INVALID_PARAMETER;
    auto* pContext = new sha256_ctx;
    sha256_init(pContext);
    *phHash = pContext;
    return STATUS_SUCCESS;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR pbInput, ULONG cbInput, ULONG dwFlags)
{
    if (hHash == nullptr)
        return STATUS_INVALID_HANDLE;
    if ((pbInput == nullptr && cbInput != 0) || dwFlags != 0)
        return STATUS_INVALID_PARAMETER;
    sha256_update(static_cast<sha256_ctx*>(hHash), cbInput, pbInput);
    return STATUS_SUCCESS;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR pbOutput, ULONG cbOutput, ULONG dwFlags)
{
    if (hHash == nullptr)
        return STATUS_INVALID_HANDLE;
    if (pbOutput == nullptr || cbOutput != SHA256_DIGEST_SIZE || dwFlags != 0)
        return STATUS_INVALID_PARAMETER;
    sha256_digest(static_cast<sha256_ctx*>(hHash), SHA256_DIGEST_SIZE, pbOutput);
    return STATUS_SUCCESS;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash)
{
    if (hHash == nullptr)
        return STATUS_INVALID_HANDLE;
    delete static_cast<sha256_ctx*>(hHash);
    return STATUS_SUCCESS;
}

NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE hAlgorithm, PUCHAR pbBuffer, ULONG cbBuffer,
                         ULONG dwFlags)
{
    if (hAlgorithm != nullptr || dwFlags != BCRYPT_USE_SYSTEM_PREFERRED_RNG ||
        (pbBuffer == nullptr && cbBuffer != 0))
        return STATUS_INVALID_PARAMETER;
    for (ULONG nDone = 0; nDone < cbBuffer;) {
        const ssize_t nGot = getrandom(pbBuffer + nDone, cbBuffer - nDone, 0);
        if (nGot < 0 && errno != EINTR)
            return STATUS_UNSUCCESSFUL;
        nDone += nGot > 0 ? static_cast<ULONG>(nGot) : 0;
    }
    return STATUS_SUCCESS;
}
