// SPDX-License-Identifier: GPL-3.0-or-later
// The system's messages for the error codes that reach this system's users, in Windows' words, so
// that the log reads the same on every platform.
#include "Kernel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace
{

struct SMessage {
    DWORD dwCode;
    std::string_view text;
};

// Result codes that wrap a Windows error (0x8007xxxx) share its message.
constexpr std::array<SMessage, 11> kMessages = {{
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004003, "Invalid pointer\r\n"},
    {0x80004004, "Operation aborted\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x8000FFFF, "Catastrophic failure\r\n"},
    {5, "Access is denied.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {1260, "This program is blocked by group policy. For more information, contact your system "
           "administrator.\r\n"},
}};

DWORD WindowsError(DWORD dwCode)
{
    return (dwCode & 0xFFFF0000) == 0x80070000 ? dwCode & 0xFFFF : dwCode;
}

} // namespace

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize,
                     void*)
{
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD dwCode = WindowsError(dwMessageId);
    const auto it = std::find_if(kMessages.begin(), kMessages.end(),
                                 [dwCode](const SMessage& m) { return m.dwCode == dwCode; });
    if (it == kMessages.end()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    if (it->text.size() >= nSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpBuffer, it->text.data(), it->text.size());
    lpBuffer[it->text.size()] = '\0';
    return static_cast<DWORD>(it->text.size());
}
