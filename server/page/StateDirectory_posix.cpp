// SPDX-License-Identifier: GPL-3.0-or-later
#include "StateDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace
{

std::string Environment(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : std::string();
}

} // namespace

std::string StateDirectory::Default()
{
    // systemd may name several, separated by colons: ours is the first.
    const std::string strService = Environment("STATE_DIRECTORY");
    if (!strService.empty())
        return strService.substr(0, strService.find(':'));
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
