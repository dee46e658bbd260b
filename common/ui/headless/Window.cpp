// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless/Window.h"

#include "Wnd.h"
#include "headless/MessageQueue.h"

#include <algorithm>
#include <numeric>

namespace
{

// The heights of a list's header and rows, and the size of a tab, in pixels; the tabs stand two
// pixels in from the corner.
constexpr int kHeaderHeight = 20;
constexpr int kRowHeight = 17;
constexpr int kTabWidth = 80;
constexpr int kTabHeight = 21;
constexpr int kTabInset = 2;

bool Contains(const RECT& rc, POINT point)
{
    return point.x >= rc.left && point.x < rc.right && point.y >= rc.top && point.y < rc.bottom;
}

} // namespace

SWindow::SWindow(EWindowKind kind, SWindow* pParentWindow) : Kind(kind), pParent(pParentWindow)
{
    (pParent != nullptr ? pParent->Children : TopLevels()).push_back(this);
}

SWindow::~SWindow()
{
    while (!Children.empty())
        delete Children.back();
    if (pLink != nullptr) {
        {
            std::lock_guard lock(pLink->Mutex);
            pLink->pWindow = nullptr;
        }
        CMessageQueue::Instance().Drop(pLink.get());
    }
    std::erase(pParent != nullptr ? pParent->Children : TopLevels(), this);
    std::erase(Modals(), this);
    if (Focus() == this)
        Focus() = nullptr;
}

SWindow* SWindow::TopLevel()
{
    SWindow* pTop = this;
    while (pTop->pParent != nullptr)
        pTop = pTop->pParent;
    return pTop;
}

bool SWindow::TakesInput()
{
    return Modals().empty() || Modals().back() == TopLevel();
}

void SWindow::SetText(const std::string& strNewText)
{
    if (strText == strNewText)
        return;
    strText = strNewText;
    if (Kind == EWindowKind::Edit && Notify)
        Notify(EN_CHANGE);
}

bool SWindow::IsVisible() const
{
    for (const SWindow* pWindow = this; pWindow != nullptr; pWindow = pWindow->pParent) {
        if (!pWindow->bVisible)
            return false;
    }
    return true;
}

bool SWindow::TakesFocus() const
{
    const bool bControl = Kind == EWindowKind::Button || Kind == EWindowKind::Edit ||
                          Kind == EWindowKind::ListView || Kind == EWindowKind::TabControl;
    return bControl && bEnabled && IsVisible();
}

bool SWindow::IsAncestorOf(const SWindow* pWindow) const
{
    for (; pWindow != nullptr; pWindow = pWindow->pParent) {
        if (pWindow->pParent == this)
            return true;
    }
    return false;
}

SWindow* SWindow::Child(int nChildId) const
{
    auto it = std::find_if(Children.begin(), Children.end(),
                           [nChildId](const SWindow* pChild) { return pChild->nId == nChildId; });
    return it != Children.end() ? *it : nullptr;
}

SWindow* SWindow::FocusTarget()
{
    if (TakesFocus())
        return this;
    for (SWindow* pChild : Children) {
        if (SWindow* pTarget = pChild->FocusTarget())
            return pTarget;
    }
    return nullptr;
}

SWindow*& SWindow::Focus()
{
    static SWindow* pFocus = nullptr;
    return pFocus;
}

std::vector<SWindow*>& SWindow::TopLevels()
{
    static std::vector<SWindow*> windows;
    return windows;
}

std::vector<SWindow*>& SWindow::Modals()
{
    static std::vector<SWindow*> windows;
    return windows;
}

RECT SWindow::RowRect(int nRow, bool bFirstColumnOnly) const
{
    const int nWidth = bFirstColumnOnly && !ColumnWidths.empty()
                           ? ColumnWidths.front()
                           : std::accumulate(ColumnWidths.begin(), ColumnWidths.end(), 0);
    const int nTop = kHeaderHeight + nRow * kRowHeight;
    return RECT{0, nTop, nWidth, nTop + kRowHeight};
}

int SWindow::RowAt(POINT point) const
{
    for (int nRow = 0; nRow < static_cast<int>(Rows.size()); ++nRow) {
        if (Contains(RowRect(nRow, true), point))
            return nRow;
    }
    return -1;
}

RECT SWindow::TabRect(int nTab) const
{
    const int nLeft = kTabInset + nTab * kTabWidth;
    return RECT{nLeft, kTabInset, nLeft + kTabWidth, kTabInset + kTabHeight};
}

int SWindow::TabAt(POINT point) const
{
    for (int nTab = 0; nTab < static_cast<int>(Tabs.size()); ++nTab) {
        if (Contains(TabRect(nTab), point))
            return nTab;
    }
    return -1;
}

void SWindow::OwnPress(POINT point)
{
    if (Kind == EWindowKind::Button && Notify) {
        Notify(BN_CLICKED);
    } else if (Kind == EWindowKind::ListView) {
        // A press beside the rows' first column selects none.
        nSelectedRow = RowAt(point);
        if (nSelectedRow >= 0)
            nSelectionMark = nSelectedRow;
    } else if (Kind == EWindowKind::TabControl) {
        SelectTab(TabAt(point));
    }
}

void SWindow::OwnKey(WPARAM nVirtualKey)
{
    if (Kind == EWindowKind::Button && nVirtualKey == VK_SPACE && Notify) {
        Notify(BN_CLICKED);
    } else if (Kind == EWindowKind::ListView && (nVirtualKey == VK_UP || nVirtualKey == VK_DOWN)) {
        const int nRow = nSelectedRow + (nVirtualKey == VK_UP ? -1 : 1);
        if (nRow >= 0 && nRow < static_cast<int>(Rows.size()))
            nSelectedRow = nSelectionMark = nRow;
    } else if (Kind == EWindowKind::TabControl &&
               (nVirtualKey == VK_LEFT || nVirtualKey == VK_RIGHT)) {
        SelectTab(nCurrentTab + (nVirtualKey == VK_LEFT ? -1 : 1));
    }
}

// As the system's tab control does: a change of the selected tab is a notification to the parent.
void SWindow::SelectTab(int nTab)
{
    if (nTab < 0 || nTab >= static_cast<int>(Tabs.size()) || nTab == nCurrentTab)
        return;
    nCurrentTab = nTab;
    const NMHDR header{this, 0, TCN_SELCHANGE};
    if (CWnd* pParentWnd = CWnd::FromHandleOrAncestor(pParent))
        pParentWnd->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}
