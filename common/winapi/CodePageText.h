// SPDX-License-Identifier: GPL-3.0-or-later
// Text of the code page as wide text, through the system's own conversion (UTF-8 on Linux).
#pragma once

#include "Kernel.h"

#include <string>
#include <string_view>

inline std::wstring WideText(std::string_view text)
{
    if (text.empty())
        return std::wstring();
    const int nBytes = static_cast<int>(text.size());
    const int nChars = MultiByteToWideChar(CP_ACP, 0, text.data(), nBytes, nullptr, 0);
    std::wstring strWide(static_cast<std::size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), nBytes, strWide.data(), nChars);
    return strWide;
}
