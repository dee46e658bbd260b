// SPDX-License-Identifier: GPL-3.0-or-later
// The Administrators group counts only where it is enabled in the token: elevated, or with UAC
// off. A filtered token of an administrator who did not elevate has it for denying only.
#include "Administrator.h"

#include <windows.h>

bool RunsAsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pAdministrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &pAdministrators))
        return false;
    BOOL bMember = FALSE;
    if (!CheckTokenMembership(nullptr, pAdministrators, &bMember))
        bMember = FALSE;
    FreeSid(pAdministrators);
    return bMember != FALSE;
}
