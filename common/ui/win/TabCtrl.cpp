// SPDX-License-Identifier: GPL-3.0-or-later
#include "TabCtrl.h"

// The system's tab control keeps its state itself.
struct CTabCtrl::SState {
};

CTabCtrl::CTabCtrl() = default;

CTabCtrl::~CTabCtrl() = default;

int CTabCtrl::InsertItem(int nItem, const std::string& strLabel)
{
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(strLabel.c_str());
    return IsWindow() ? static_cast<int>(::SendMessageA(GetSafeHwnd(), TCM_INSERTITEMA,
                                                        static_cast<WPARAM>(nItem),
                                                        reinterpret_cast<LPARAM>(&item)))
                      : -1;
}

int CTabCtrl::GetItemCount() const
{
    return IsWindow() ? TabCtrl_GetItemCount(GetSafeHwnd()) : 0;
}

std::string CTabCtrl::GetItemText(int nItem) const
{
    char cBuffer[256] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = cBuffer;
    item.cchTextMax = static_cast<int>(sizeof(cBuffer));
    if (!IsWindow() || ::SendMessageA(GetSafeHwnd(), TCM_GETITEMA, static_cast<WPARAM>(nItem),
                                      reinterpret_cast<LPARAM>(&item)) == 0)
        return {};
    return cBuffer;
}

BOOL CTabCtrl::GetItemRect(int nItem, RECT* pRect) const
{
    return IsWindow() && TabCtrl_GetItemRect(GetSafeHwnd(), nItem, pRect);
}

int CTabCtrl::GetCurSel() const
{
    return IsWindow() ? TabCtrl_GetCurSel(GetSafeHwnd()) : -1;
}

// Selecting a tab in code is no user's change: the system sends no notification.
int CTabCtrl::SetCurSel(int nItem)
{
    if (!IsWindow() || nItem < 0 || nItem >= GetItemCount())
        return -1;
    return TabCtrl_SetCurSel(GetSafeHwnd(), nItem);
}

void CTabCtrl::AdoptPages(const std::vector<CWnd*>& pages)
{
    ::SetWindowTextA(GetSafeHwnd(), "Pages");
    for (size_t i = 0; i < pages.size(); ++i)
        pages[i]->SetWindowText(GetItemText(static_cast<int>(i)));
}
