// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <cstdio>

namespace Journal
{

void WriteNotice(const std::string& strCaption, const std::string& strText)
{
    std::fprintf(stderr, "%s%s: %s\n", LinePrefix(EPriority::Warning, 2), strCaption.c_str(),
                 strText.c_str());
    std::fflush(stderr);
}

} // namespace Journal
