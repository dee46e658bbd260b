// SPDX-License-Identifier: GPL-3.0-or-later
// The system's own message box.
#include "MessageBox.h"

#include "Wnd.h"

int RunMessageBox(const SMessageBox& box)
{
    // Modal: the system disables the owner until the box is closed.
    const HWND hOwner =
        box.pOwner != nullptr ? box.pOwner->GetTopLevelWindow()->GetSafeHwnd() : nullptr;
    ::MessageBoxA(hOwner, box.strText.c_str(), box.strCaption.c_str(), box.nType);
    return IDOK;
}
