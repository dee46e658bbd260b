// SPDX-License-Identifier: GPL-3.0-or-later
// The system's own pop-up menu, made from the items each time it is shown.
#include "Menu.h"

#include "Wnd.h"

namespace
{

HMENU MakePopup(const CMenu& source)
{
    const HMENU hMenu = ::CreatePopupMenu();
    for (const CMenu::SItem& item : source.Items()) {
        if (!item.SubMenus.empty())
            ::AppendMenuA(hMenu, MF_POPUP | item.nFlags,
                          reinterpret_cast<UINT_PTR>(MakePopup(item.SubMenus.front())),
                          item.strText.c_str());
        else if ((item.nFlags & MF_SEPARATOR) != 0)
            ::AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuA(hMenu, item.nFlags, item.nId, item.strText.c_str());
    }
    return hMenu;
}

} // namespace

UINT CMenu::TrackOnScreen(POINT point) const
{
    HWND hOwner = ::GetActiveWindow();
    if (hOwner == nullptr && CWnd::GetMainWnd() != nullptr)
        hOwner = CWnd::GetMainWnd()->GetSafeHwnd();
    const HMENU hMenu = MakePopup(*this);
    const auto nCommand = static_cast<UINT>(
        ::TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                         point.x, point.y, 0, hOwner, nullptr));
    ::DestroyMenu(hMenu);
    return nCommand;
}
