// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace
{

// systemd sets JOURNAL_STREAM to the device and inode of the stream it connected; a descriptor
// that was redirected since is no longer the journal's.
bool IsJournalStream(int nFd)
{
    const char* pszStream = std::getenv("JOURNAL_STREAM");
    unsigned long long nDevice = 0;
    unsigned long long nInode = 0;
    struct stat status {
    };
    if (pszStream == nullptr || std::sscanf(pszStream, "%llu:%llu", &nDevice, &nInode) != 2 ||
        ::fstat(nFd, &status) != 0)
        return false;
    return status.st_dev == nDevice && status.st_ino == nInode;
}

} // namespace

namespace Journal
{

const char* LinePrefix(EPriority priority, int nFd)
{
    // Read once: the streams do not change while the program runs.
    static const bool bJournal[3] = {false, IsJournalStream(1), IsJournalStream(2)};
    if (nFd < 1 || nFd > 2 || !bJournal[nFd])
        return "";
    switch (priority) {
    case EPriority::Warning:
        return "<4>";
    case EPriority::Info:
        return "<6>";
    case EPriority::Debug:
        return "<7>";
    }
    return "";
}

} // namespace Journal
