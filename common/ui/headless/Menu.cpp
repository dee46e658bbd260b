// SPDX-License-Identifier: GPL-3.0-or-later
// No pop-up without a screen.
#include "Menu.h"

// There is no one to choose: the menu closes unchosen, as one dismissed with Escape.
UINT CMenu::TrackOnScreen(POINT) const
{
    return 0;
}
