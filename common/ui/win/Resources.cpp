// SPDX-License-Identifier: GPL-3.0-or-later
// Icons from the program's own resources, shared: the system keeps them while the program runs.
#include "Resources.h"

HICON CResources::LoadIcon(int nId) const
{
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nId),
                                           IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}
