// SPDX-License-Identifier: GPL-3.0-or-later
#include "StateDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string Environment(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : std::string();
}

// What failed, with the system's reason.
bool Failed(const std::string& strWhat, std::string& strError)
{
    strError = strWhat + " failed: " + std::strerror(errno);
    return false;
}

bool WriteAll(int nFd, const std::string& strText)
{
    for (std::size_t nDone = 0; nDone < strText.size();) {
        const ssize_t nWritten = ::write(nFd, strText.data() + nDone, strText.size() - nDone);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        nDone += static_cast<std::size_t>(nWritten);
    }
    return true;
}

// A rename or removal is durable only once the directory that holds the name is.
bool SyncDirectoryOf(const std::string& strPath, std::string& strError)
{
    const std::size_t nSlash = strPath.rfind('/');
    const std::string strDirectory = nSlash == std::string::npos ? "."
                                     : nSlash == 0               ? "/"
                                                                 : strPath.substr(0, nSlash);
    const int nFd = ::open(strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool bSynced = nFd >= 0 && ::fsync(nFd) == 0;
    if (!bSynced)
        Failed("flushing " + strDirectory, strError);
    if (nFd >= 0)
        ::close(nFd);
    return bSynced;
}

} // namespace

std::string StateDirectory::Service()
{
    // systemd separates the unit's state directories with colons.
    const std::string strDirectories = Environment("STATE_DIRECTORY");
    return strDirectories.substr(0, strDirectories.find(':'));
}

std::string StateDirectory::Default()
{
    const std::string strService = Service();
    if (!strService.empty())
        return strService;
    const std::string strData = Environment("XDG_DATA_HOME");
    if (!strData.empty() && strData.front() == '/')
        return strData + "/tarnlow";
    const std::string strHome = Environment("HOME");
    return strHome.empty() ? std::string() : strHome + "/.local/share/tarnlow";
}

bool StateDirectory::MakePrivate(const std::string& strDirectory, std::string& strError)
{
    for (std::size_t nSlash = 0; nSlash != std::string::npos;) {
        nSlash = strDirectory.find('/', nSlash + 1);
        const std::string strPart = strDirectory.substr(0, nSlash);
        if (::mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST) {
            strError = std::strerror(errno);
            return false;
        }
    }
    if (::chmod(strDirectory.c_str(), 0700) != 0) {
        strError = std::strerror(errno);
        return false;
    }
    return true;
}

bool StateDirectory::WriteWhole(const std::string& strPath, const std::string& strText,
                                std::string& strError)
{
    const std::string strNew = strPath + ".new";
    const int nFd = ::open(strNew.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (nFd < 0)
        return Failed("creating " + strNew, strError);
    const bool bWritten = WriteAll(nFd, strText) && ::fsync(nFd) == 0;
    if (!bWritten)
        Failed("writing " + strNew, strError);
    ::close(nFd);
    if (!bWritten || ::rename(strNew.c_str(), strPath.c_str()) != 0) {
        if (bWritten)
            Failed("renaming " + strNew, strError);
        ::unlink(strNew.c_str());
        return false;
    }
    return SyncDirectoryOf(strPath, strError);
}

bool StateDirectory::Remove(const std::string& strPath, std::string& strError)
{
    if (::unlink(strPath.c_str()) != 0 && errno != ENOENT)
        return Failed("removing " + strPath, strError);
    return SyncDirectoryOf(strPath, strError);
}
