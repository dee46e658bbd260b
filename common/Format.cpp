// SPDX-License-Identifier: GPL-3.0-or-later
#include "Format.h"

#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list argsCopy;
    va_copy(argsCopy, args);
    const int nLength = std::vsnprintf(nullptr, 0, pszFormat, argsCopy);
    va_end(argsCopy);
    std::string strText;
    if (nLength > 0) {
        strText.resize(static_cast<std::size_t>(nLength));
        std::vsnprintf(strText.data(), strText.size() + 1, pszFormat, args);
    }
    va_end(args);
    return strText;
}

std::string Trimmed(const std::string& strText, const char* pszSpaces)
{
    const auto nFirst = strText.find_first_not_of(pszSpaces);
    if (nFirst == std::string::npos)
        return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(pszSpaces) - nFirst + 1);
}
