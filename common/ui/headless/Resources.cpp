// SPDX-License-Identifier: GPL-3.0-or-later
// No icons without a screen.
#include "Resources.h"

HICON CResources::LoadIcon(int) const
{
    return nullptr;
}
