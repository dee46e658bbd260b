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

} // namespace

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
