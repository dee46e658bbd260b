// SPDX-License-Identifier: GPL-3.0-or-later
#include "Menu.h"

#include "Wnd.h"

CMenu::TrackHook& CMenu::Hook()
{
    static TrackHook hook;
    return hook;
}

CMenu CMenu::FromTemplate(const std::vector<SMenuItemTemplate>& items)
{
    CMenu menu;
    for (const SMenuItemTemplate& item : items) {
        SItem entry{item.nId, item.strText, item.nFlags, {}};
        if (!item.Items.empty())
            entry.SubMenus.push_back(FromTemplate(item.Items));
        menu.m_Items.push_back(std::move(entry));
    }
    return menu;
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    const SMenuTemplate* pTemplate = CResources::Current().FindMenu(static_cast<int>(nIDResource));
    if (pTemplate == nullptr)
        return FALSE;
    *this = FromTemplate(pTemplate->Items);
    return TRUE;
}

CMenu* CMenu::GetSubMenu(int nPos)
{
    if (nPos < 0 || nPos >= static_cast<int>(m_Items.size()) || m_Items[nPos].SubMenus.empty())
        return nullptr;
    return &m_Items[nPos].SubMenus.front();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const std::string& strNewItem)
{
    m_Items.push_back(SItem{static_cast<UINT>(nIDNewItem), strNewItem, nFlags, {}});
    return TRUE;
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
{
    for (SItem& item : m_Items) {
        if (item.nId == nIDEnableItem && item.SubMenus.empty()) {
            const UINT nPrevious = item.nFlags & (MF_GRAYED | MF_DISABLED);
            item.nFlags =
                (item.nFlags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
            return nPrevious;
        }
    }
    return static_cast<UINT>(-1);
}

bool CMenu::IsEnabled(UINT nId) const
{
    for (const SItem& item : m_Items) {
        if (item.nId == nId && item.SubMenus.empty())
            return (item.nFlags & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    return false;
}

BOOL CMenu::TrackPopupMenu(UINT, int x, int y, CWnd* pWnd)
{
    const UINT nCommand = Track(POINT{x, y});
    if (nCommand != 0 && pWnd != nullptr)
        pWnd->PostMessage(WM_COMMAND, nCommand, 0);
    return TRUE;
}

UINT CMenu::Track(POINT point) const
{
    if (Hook())
        return Hook()(*this, point);
    return TrackOnScreen(point);
}

void CMenu::SetTrackHook(TrackHook hook)
{
    Hook() = std::move(hook);
}
