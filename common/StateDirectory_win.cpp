// SPDX-License-Identifier: GPL-3.0-or-later
#include "StateDirectory.h"

#include <filesystem>
#include <windows.h>

#include <sddl.h>

namespace
{

// Protected from inheritance: full control for the system and the administrators, and no one
// else; what is made inside inherits it.
constexpr const char* kAdministratorsOnly = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

std::string ErrorText(DWORD dwError)
{
    return "error " + std::to_string(static_cast<unsigned long>(dwError));
}

// What failed, with the system's error.
bool Failed(const std::string& strWhat, std::string& strError)
{
    strError = strWhat + " failed: " + ErrorText(GetLastError());
    return false;
}

bool WriteAll(HANDLE hFile, const std::string& strText)
{
    for (std::size_t nDone = 0; nDone < strText.size();) {
        DWORD dwWritten = 0;
        if (!WriteFile(hFile, strText.data() + nDone, static_cast<DWORD>(strText.size() - nDone),
                       &dwWritten, nullptr) ||
            dwWritten == 0)
            return false;
        nDone += dwWritten;
    }
    return true;
}

} // namespace

// No service manager names a folder on Windows.
std::string StateDirectory::Service()
{
    return std::string();
}

std::string StateDirectory::Default()
{
    char szData[MAX_PATH] = {};
    const DWORD dwLength = GetEnvironmentVariableA("ProgramData", szData, sizeof szData);
    if (dwLength == 0 || dwLength >= sizeof szData)
        return std::string();
    return std::string(szData) + "\\Tarnlow";
}

bool StateDirectory::MakePrivate(const std::string& strDirectory, std::string& strError)
{
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1,
                                                              &pDescriptor, nullptr)) {
        strError = ErrorText(GetLastError());
        return false;
    }
    // The folders above it are the system's, as they are (ProgramData's, say).
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(strDirectory).parent_path(), error);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, pDescriptor, FALSE};
    BOOL bDone = CreateDirectoryA(strDirectory.c_str(), &attributes);
    if (!bDone && GetLastError() == ERROR_ALREADY_EXISTS)
        bDone = SetFileSecurityA(strDirectory.c_str(), DACL_SECURITY_INFORMATION, pDescriptor);
    const DWORD dwError = GetLastError();
    LocalFree(pDescriptor);
    if (!bDone)
        strError = ErrorText(dwError);
    return bDone != FALSE;
}

// The file takes the folder's access, its owner's (the administrators') alone.
bool StateDirectory::WriteWhole(const std::string& strPath, const std::string& strText,
                                std::string& strError)
{
    const std::string strNew = strPath + ".new";
    const HANDLE hFile = CreateFileA(strNew.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return Failed("creating " + strNew, strError);
    const bool bWritten = WriteAll(hFile, strText) && FlushFileBuffers(hFile);
    if (!bWritten)
        Failed("writing " + strNew, strError);
    CloseHandle(hFile);
    if (!bWritten || !MoveFileExA(strNew.c_str(), strPath.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (bWritten)
            Failed("renaming " + strNew, strError);
        DeleteFileA(strNew.c_str());
        return false;
    }
    return true;
}

bool StateDirectory::Remove(const std::string& strPath, std::string& strError)
{
    if (!DeleteFileA(strPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return Failed("removing " + strPath, strError);
    return true;
}
