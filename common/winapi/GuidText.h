// SPDX-License-Identifier: GPL-3.0-or-later
// A GUID as text in braces, as COM writes it and the sharing service's connections give theirs.
#pragma once

#include "Com.h"

#include <string>

inline std::wstring GuidWideText(const GUID& guid)
{
    OLECHAR cText[40] = {};
    return StringFromGUID2(guid, cText, 40) > 0 ? std::wstring(cText) : std::wstring();
}

// The text is ASCII.
inline std::string GuidText(const GUID& guid)
{
    const std::wstring strText = GuidWideText(guid);
    return std::string(strText.begin(), strText.end());
}
