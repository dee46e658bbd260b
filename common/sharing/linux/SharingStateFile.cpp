// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingStateFile.h"

#include "Kernel.h"
#include "NftSharingTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{

// The first line names the format, so that a file of another kind or version is not misread.
constexpr const char* kFormat = "Tarnlow Server sharing 1";
constexpr const char* kInterfaceKey = "interface ";
constexpr const char* kBootKey = "boot ";
// A boot ID is a UUID in its text form.
constexpr std::size_t kBootIdLength = 36;

bool IsBootId(const std::string& strId)
{
    return strId.size() == kBootIdLength && std::all_of(strId.begin(), strId.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == '-';
           });
}

bool ReadValue(std::istream& in, const std::string& strKey, std::string& strValue)
{
    std::string strLine;
    if (!std::getline(in, strLine) || !strLine.starts_with(strKey))
        return false;
    strValue = strLine.substr(strKey.size());
    return true;
}

void TraceFailure(const char* pszOperation, const std::string& strWhat)
{
    OutputDebugStringA(("CSharingStateFile::" + std::string(pszOperation) + "(): " + strWhat +
                        " failed: " + std::strerror(errno) + "\n")
                           .c_str());
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

} // namespace

CSharingStateFile::CSharingStateFile(std::string strDirectory)
    : m_strDirectory(std::move(strDirectory))
{
}

std::string CSharingStateFile::DirectoryFromEnvironment()
{
    const char* pszDirectories = std::getenv("STATE_DIRECTORY");
    const std::string strDirectories = pszDirectories != nullptr ? pszDirectories : "";
    // systemd separates the unit's state directories with colons.
    return strDirectories.substr(0, strDirectories.find(':'));
}

std::string CSharingStateFile::ReadBootId(const std::string& strPath)
{
    std::ifstream file(strPath);
    std::string strId;
    std::getline(file, strId);
    return IsBootId(strId) ? strId : std::string();
}

bool CSharingStateFile::Read(SRecord& record) const
{
    record = SRecord{};
    if (!IsKept())
        return false;
    std::ifstream file(Path());
    if (!file)
        return false;
    std::string strFormat;
    std::string strRest;
    const bool bWhole =
        std::getline(file, strFormat) && strFormat == kFormat &&
        ReadValue(file, kInterfaceKey, record.strInterface) &&
        ReadValue(file, kBootKey, record.strBootId) && !std::getline(file, strRest) &&
        CNftSharingTable::IsSafeInterfaceName(record.strInterface) && IsBootId(record.strBootId);
    if (!bWhole) {
        OutputDebugStringA(
            ("CSharingStateFile::Read(): " + Path() + " is damaged, ignored\n").c_str());
        record = SRecord{};
    }
    return bWhole;
}

bool CSharingStateFile::Write(const SRecord& record) const
{
    // What would read back as damaged is not written.
    if (!IsKept() || !IsBootId(record.strBootId) ||
        !CNftSharingTable::IsSafeInterfaceName(record.strInterface))
        return false;
    std::ostringstream text;
    text << kFormat << "\n"
         << kInterfaceKey << record.strInterface << "\n"
         << kBootKey << record.strBootId << "\n";
    const std::string strNew = Path() + ".new";
    const int nFd = ::open(strNew.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (nFd < 0) {
        TraceFailure("Write", "creating " + strNew);
        return false;
    }
    const bool bWritten = WriteAll(nFd, text.str()) && ::fsync(nFd) == 0;
    if (!bWritten)
        TraceFailure("Write", "writing " + strNew);
    ::close(nFd);
    if (!bWritten || ::rename(strNew.c_str(), Path().c_str()) != 0) {
        if (bWritten)
            TraceFailure("Write", "renaming " + strNew);
        ::unlink(strNew.c_str());
        return false;
    }
    return SyncDirectory();
}

bool CSharingStateFile::Forget() const
{
    if (!IsKept())
        return true;
    if (::unlink(Path().c_str()) != 0 && errno != ENOENT) {
        TraceFailure("Forget", "removing " + Path());
        return false;
    }
    return SyncDirectory();
}

std::string CSharingStateFile::Path() const
{
    return m_strDirectory + "/" + kFileName;
}

// A rename or removal is durable only once the directory that holds the name is.
bool CSharingStateFile::SyncDirectory() const
{
    const int nFd = ::open(m_strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool bSynced = nFd >= 0 && ::fsync(nFd) == 0;
    if (!bSynced)
        TraceFailure("SyncDirectory", "flushing " + m_strDirectory);
    if (nFd >= 0)
        ::close(nFd);
    return bSynced;
}
