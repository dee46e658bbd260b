// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingStateFile.h"

#include "Kernel.h"
#include "NftSharingTable.h"
#include "StateDirectory.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

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

void TraceFailure(const char* pszOperation, const std::string& strError)
{
    OutputDebugStringA(
        ("CSharingStateFile::" + std::string(pszOperation) + "(): " + strError + "\n").c_str());
}

} // namespace

CSharingStateFile::CSharingStateFile(std::string strDirectory)
    : m_strDirectory(std::move(strDirectory))
{
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
    std::string strError;
    if (!StateDirectory::WriteWhole(Path(), text.str(), strError)) {
        TraceFailure("Write", strError);
        return false;
    }
    return true;
}

bool CSharingStateFile::Forget() const
{
    std::string strError;
    if (IsKept() && !StateDirectory::Remove(Path(), strError)) {
        TraceFailure("Forget", strError);
        return false;
    }
    return true;
}

std::string CSharingStateFile::Path() const
{
    return m_strDirectory + "/" + kFileName;
}
