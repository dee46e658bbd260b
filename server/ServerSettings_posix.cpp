// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file, /etc/tarnlow/tarnlow.conf.
#include "ServerSettings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr const char* kPath = "/etc/tarnlow/tarnlow.conf";

// Up to one byte beyond the bound, so that a longer file is told; false with errno set.
bool ReadBounded(const std::string& strPath, std::string& strText)
{
    const int nFd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (nFd < 0)
        return false;
    strText.resize(CServerSettings::kMaxFileBytes + 1);
    std::size_t nRead = 0;
    ssize_t nChunk = 0;
    while (nRead < strText.size() &&
           ((nChunk = ::read(nFd, strText.data() + nRead, strText.size() - nRead)) > 0 ||
            (nChunk < 0 && errno == EINTR)))
        nRead += nChunk > 0 ? static_cast<std::size_t>(nChunk) : 0;
    const int nError = errno;
    ::close(nFd);
    strText.resize(nRead);
    errno = nError;
    return nChunk >= 0;
}

} // namespace

CServerSettings CServerSettings::Read()
{
    const char* pszPath = std::getenv("TARNLOW_SETTINGS");
    const std::string strPath = pszPath != nullptr && *pszPath != '\0' ? pszPath : kPath;
    std::string strText;
    if (!ReadBounded(strPath, strText)) {
        // No file is no settings: the server is as it always was.
        CServerSettings settings;
        if (errno != ENOENT)
            settings.Warn("The settings file " + strPath + " cannot be read (" +
                          std::strerror(errno) + "): the defaults hold");
        return settings;
    }
    const bool bLonger = strText.size() > kMaxFileBytes;
    strText.resize(std::min(strText.size(), kMaxFileBytes));
    CServerSettings settings = FromText(strText, strPath);
    if (bLonger)
        settings.Warn("The settings file " + strPath +
                      " is longer than 64 KiB: only its first 64 KiB are read");
    return settings;
}
