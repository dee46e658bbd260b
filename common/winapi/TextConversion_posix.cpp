// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversion between wide text and the code page, which on Linux is UTF-8.
#include "Kernel.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace
{

constexpr wchar_t kReplacement = 0xFFFD;

int EncodeUtf8(wchar_t wc, char* pOut)
{
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = '?';
    if (c < 0x80) {
        pOut[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        pOut[0] = static_cast<char>(0xC0 | (c >> 6));
        pOut[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        pOut[0] = static_cast<char>(0xE0 | (c >> 12));
        pOut[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        pOut[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    pOut[0] = static_cast<char>(0xF0 | (c >> 18));
    pOut[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    pOut[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    pOut[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// Length of the UTF-8 sequence that starts with this byte, 0 when no sequence starts so.
std::size_t SequenceLength(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// The code point of the sequence at the start of the text; false when it is cut, overlong or a
// surrogate.
bool DecodeSequence(std::string_view text, std::size_t nLength, wchar_t& c)
{
    constexpr std::array<std::uint32_t, 5> kLeadMask = {0, 0x7F, 0x1F, 0x0F, 0x07};
    constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    if (nLength == 0 || nLength > text.size())
        return false;
    std::uint32_t nCode = static_cast<unsigned char>(text[0]) & kLeadMask[nLength];
    for (std::size_t i = 1; i < nLength; ++i) {
        const auto cNext = static_cast<unsigned char>(text[i]);
        if ((cNext & 0xC0) != 0x80)
            return false;
        nCode = (nCode << 6) | (cNext & 0x3F);
    }
    if (nCode < kSmallest[nLength] || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF))
        return false;
    c = static_cast<wchar_t>(nCode);
    return true;
}

} // namespace

int WideCharToMultiByte(UINT CodePage, DWORD, const wchar_t* lpWideCharStr, int cchWideChar,
                        char* lpMultiByteStr, int cbMultiByte, LPCSTR, BOOL* lpUsedDefaultChar)
{
    if (CodePage != CP_ACP || lpWideCharStr == nullptr || cchWideChar < -1 || cbMultiByte < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar != nullptr)
        *lpUsedDefaultChar = FALSE;
    const std::size_t nChars =
        cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    int nBytes = 0;
    char cEncoded[4];
    for (std::size_t i = 0; i < nChars; ++i) {
        // Plain ASCII, most names, is one byte as it stands.
        const int n = static_cast<unsigned>(lpWideCharStr[i]) < 0x80
                          ? (cEncoded[0] = static_cast<char>(lpWideCharStr[i]), 1)
                          : EncodeUtf8(lpWideCharStr[i], cEncoded);
        if (cbMultiByte != 0) {
            if (nBytes + n > cbMultiByte) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(lpMultiByteStr + nBytes, cEncoded, n);
        }
        nBytes += n;
    }
    return nBytes;
}

int MultiByteToWideChar(UINT CodePage, DWORD, const char* lpMultiByteStr, int cbMultiByte,
                        wchar_t* lpWideCharStr, int cchWideChar)
{
    if (CodePage != CP_ACP || lpMultiByteStr == nullptr || cbMultiByte < -1 || cchWideChar < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string_view text(lpMultiByteStr, cbMultiByte == -1
                                              ? std::strlen(lpMultiByteStr) + 1
                                              : static_cast<std::size_t>(cbMultiByte));
    int nChars = 0;
    while (!text.empty()) {
        const std::size_t nLength = SequenceLength(static_cast<unsigned char>(text[0]));
        wchar_t c = kReplacement;
        // A broken sequence costs only its first byte, so that what follows still reads.
        const bool bDecoded = DecodeSequence(text, nLength, c);
        if (cchWideChar != 0) {
            if (nChars == cchWideChar) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            lpWideCharStr[nChars] = bDecoded ? c : kReplacement;
        }
        ++nChars;
        text.remove_prefix(bDecoded ? nLength : 1);
    }
    return nChars;
}
