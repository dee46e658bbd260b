// SPDX-License-Identifier: GPL-3.0-or-later
// CMenu: a menu built from a menu resource or item by item, shown as a pop-up whose chosen
// command goes to its owner window. Tests and automation can stand in for the user through the
// track hook.
#pragma once

#include "Resources.h"

#include <functional>
#include <string>
#include <vector>

class CWnd;

class CMenu
{
public:
    struct SItem {
        UINT nId = 0;
        std::string strText;
        UINT nFlags = MF_STRING;
        std::vector<CMenu> SubMenus; // one entry for a pop-up item
    };

    BOOL LoadMenu(UINT nIDResource);
    CMenu* GetSubMenu(int nPos);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const std::string& strNewItem = {});
    // Returns the item's previous state, or -1 when there is no such item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    // Shows the pop-up at a screen point; the chosen command is posted to the owner as WM_COMMAND.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd);
    // Shows the pop-up and returns the chosen command, 0 for none.
    UINT Track(POINT point) const;

    const std::vector<SItem>& Items() const { return m_Items; }
    bool IsEnabled(UINT nId) const;

    // Decides for the user which command a tracked pop-up returns; none restores the real menu.
    using TrackHook = std::function<UINT(const CMenu& menu, POINT point)>;
    static void SetTrackHook(TrackHook hook);

private:
    static TrackHook& Hook();
    // The platform's own pop-up, for the user to choose from.
    UINT TrackOnScreen(POINT point) const;
    static CMenu FromTemplate(const std::vector<SMenuItemTemplate>& items);

    std::vector<SItem> m_Items;
};
