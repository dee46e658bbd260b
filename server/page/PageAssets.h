// SPDX-License-Identifier: GPL-3.0-or-later
// The page's files, from res/, as the program holds them: nothing is read beside it, and nothing
// comes from the Internet.
#pragma once

#include <string_view>

namespace PageAssets
{
extern const std::string_view kHtml;
extern const std::string_view kStyle;
extern const std::string_view kScript;
} // namespace PageAssets
