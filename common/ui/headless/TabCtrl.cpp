// SPDX-License-Identifier: GPL-3.0-or-later
// A tab control without a toolkit: its tabs in memory.
#include "TabCtrl.h"

#include "headless/Window.h"

#include <algorithm>

namespace
{

SWindow* TabsOf(const CTabCtrl& tabs)
{
    SWindow* pWindow = tabs.GetSafeHwnd();
    return pWindow != nullptr && pWindow->Kind == EWindowKind::TabControl ? pWindow : nullptr;
}

} // namespace

struct CTabCtrl::SState {
    static void Hook(CTabCtrl& tabs, SWindow* pTabs);
};

CTabCtrl::CTabCtrl() : m_pState(std::make_unique<SState>()) {}

CTabCtrl::~CTabCtrl()
{
    if (SWindow* pTabs = TabsOf(*this))
        pTabs->PressFilter = nullptr;
}

// A press goes through WindowProc to OnLButtonDown; the tab row's own handling is what Default
// runs.
void CTabCtrl::SState::Hook(CTabCtrl& tabs, SWindow* pTabs)
{
    if (pTabs->PressFilter)
        return;
    pTabs->PressFilter = [&tabs, pTabs](POINT point) {
        LRESULT lResult = 0;
        tabs.Dispatch(WM_LBUTTONDOWN, 0,
                      MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)), lResult,
                      [pTabs, point] {
                          pTabs->OwnPress(point);
                          return LRESULT{0};
                      });
        return true;
    };
}

int CTabCtrl::InsertItem(int nItem, const std::string& strLabel)
{
    SWindow* pTabs = TabsOf(*this);
    if (pTabs == nullptr || nItem < 0)
        return -1;
    SState::Hook(*this, pTabs);
    nItem = std::min(nItem, static_cast<int>(pTabs->Tabs.size()));
    pTabs->Tabs.insert(pTabs->Tabs.begin() + nItem, strLabel);
    // The first tab is selected; a tab inserted before the selected one keeps it selected.
    if (pTabs->nCurrentTab < 0)
        pTabs->nCurrentTab = 0;
    else if (nItem <= pTabs->nCurrentTab && pTabs->Tabs.size() > 1)
        ++pTabs->nCurrentTab;
    return nItem;
}

int CTabCtrl::GetItemCount() const
{
    const SWindow* pTabs = TabsOf(*this);
    return pTabs != nullptr ? static_cast<int>(pTabs->Tabs.size()) : 0;
}

std::string CTabCtrl::GetItemText(int nItem) const
{
    const SWindow* pTabs = TabsOf(*this);
    if (pTabs == nullptr || nItem < 0 || nItem >= GetItemCount())
        return {};
    return pTabs->Tabs[static_cast<std::size_t>(nItem)];
}

BOOL CTabCtrl::GetItemRect(int nItem, RECT* pRect) const
{
    const SWindow* pTabs = TabsOf(*this);
    if (pTabs == nullptr || nItem < 0 || nItem >= GetItemCount())
        return FALSE;
    *pRect = pTabs->TabRect(nItem);
    return TRUE;
}

int CTabCtrl::GetCurSel() const
{
    const SWindow* pTabs = TabsOf(*this);
    return pTabs != nullptr ? pTabs->nCurrentTab : -1;
}

int CTabCtrl::SetCurSel(int nItem)
{
    SWindow* pTabs = TabsOf(*this);
    if (pTabs == nullptr || nItem < 0 || nItem >= GetItemCount())
        return -1;
    // Selecting a tab in code is no user's change: no notification.
    const int nPrevious = pTabs->nCurrentTab;
    pTabs->nCurrentTab = nItem;
    return nPrevious;
}

// The keyboard's order is the order in which the controls were made; pages are named by their
// tabs only where a screen reader could read them.
void CTabCtrl::AdoptPages(const std::vector<CWnd*>&) {}
