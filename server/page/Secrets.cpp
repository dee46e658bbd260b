// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secrets.h"

#include "Bcrypt.h"

#include <vector>

namespace
{

constexpr std::size_t kSha256Bytes = 32;

bool Random(unsigned char* pBytes, std::size_t nBytes)
{
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, pBytes, static_cast<ULONG>(nBytes),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::string Hex(const unsigned char* pBytes, std::size_t nBytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string strHex;
    for (std::size_t i = 0; i < nBytes; ++i) {
        strHex += kDigits[pBytes[i] >> 4];
        strHex += kDigits[pBytes[i] & 0x0f];
    }
    return strHex;
}

// Opened once for the process, as CNG advises, since a page's every request hashes its cookie;
// none where the system has no SHA-256.
BCRYPT_ALG_HANDLE Sha256Provider()
{
    static const BCRYPT_ALG_HANDLE hProvider = [] {
        BCRYPT_ALG_HANDLE hOpened = nullptr;
        return BCRYPT_SUCCESS(
                   BCryptOpenAlgorithmProvider(&hOpened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))
                   ? hOpened
                   : nullptr;
    }();
    return hProvider;
}

} // namespace

std::string Secrets::RandomHex(std::size_t nBytes)
{
    std::vector<unsigned char> bytes(nBytes);
    return Random(bytes.data(), nBytes) ? Hex(bytes.data(), nBytes) : std::string();
}

// Numbers at or beyond the largest multiple of the bound are drawn again, so that none is more
// likely than another.
bool Secrets::RandomBelow(std::uint32_t nBound, std::uint32_t& nNumber)
{
    const std::uint64_t nSpan = std::uint64_t{1} << 32;
    const std::uint64_t nLimit = nSpan - nSpan % nBound;
    for (;;) {
        std::uint32_t nDrawn = 0;
        if (!Random(reinterpret_cast<unsigned char*>(&nDrawn), sizeof nDrawn))
            return false;
        if (nDrawn < nLimit) {
            nNumber = nDrawn % nBound;
            return true;
        }
    }
}

std::string Secrets::Sha256Hex(std::string_view text)
{
    const BCRYPT_ALG_HANDLE hAlgorithm = Sha256Provider();
    if (hAlgorithm == nullptr)
        return std::string();
    unsigned char digest[kSha256Bytes] = {};
    std::vector<unsigned char> input(text.begin(), text.end());
    BCRYPT_HASH_HANDLE hHash = nullptr;
    bool bHashed = BCRYPT_SUCCESS(BCryptCreateHash(hAlgorithm, &hHash, nullptr, 0, nullptr, 0, 0));
    bHashed = bHashed && BCRYPT_SUCCESS(BCryptHashData(hHash, input.data(),
                                                       static_cast<ULONG>(input.size()), 0));
    bHashed = bHashed && BCRYPT_SUCCESS(BCryptFinishHash(hHash, digest, sizeof digest, 0));
    if (hHash != nullptr)
        BCryptDestroyHash(hHash);
    return bHashed ? Hex(digest, sizeof digest) : std::string();
}

bool Secrets::Same(std::string_view first, std::string_view second)
{
    if (first.size() != second.size())
        return false;
    volatile unsigned char cDiffer = 0;
    for (std::size_t i = 0; i < first.size(); ++i)
        cDiffer = cDiffer | static_cast<unsigned char>(first[i] ^ second[i]);
    return cDiffer == 0;
}
