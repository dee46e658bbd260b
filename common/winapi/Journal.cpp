// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <cstdio>

namespace Journal
{

void WriteLine(EPriority priority, int nFd, const std::string& strLine)
{
    std::FILE* pStream = nFd == 2 ? stderr : stdout;
    std::fprintf(pStream, "%s%s\n", LinePrefix(priority, nFd), strLine.c_str());
    std::fflush(pStream);
}

void WriteNotice(const std::string& strCaption, const std::string& strText)
{
    WriteLine(EPriority::Warning, 2, strCaption + ": " + strText);
}

} // namespace Journal
