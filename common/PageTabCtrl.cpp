// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageTabCtrl.h"

CPageTabCtrl::CPageTabCtrl(CDialog* pConnectionsPage, CDialog* pCommsPage, CDialog* pLogPage)
    : m_pPages{std::unique_ptr<CDialog>(pConnectionsPage), std::unique_ptr<CDialog>(pCommsPage),
               std::unique_ptr<CDialog>(pLogPage)},
      m_nCurrentPage(0), m_nPageCount(kPageCount)
{
}

CPageTabCtrl::~CPageTabCtrl() = default;

void CPageTabCtrl::InsertTabsAndCreatePages()
{
    InsertItem(0, "Connections");
    InsertItem(1, "Communications");
    InsertItem(2, "Log");
    CreatePages();
}

void CPageTabCtrl::CreatePages()
{
    m_nCurrentPage = 0;
    m_pPages[0]->Create(kPageTemplates[0], this);
    m_pPages[0]->ShowWindow(SW_SHOW);
    for (int i = 1; i < m_nPageCount; ++i) {
        m_pPages[i]->Create(kPageTemplates[i], this);
        m_pPages[i]->ShowWindow(SW_HIDE);
    }
    PositionPages();
    AdoptPages({m_pPages[0].get(), m_pPages[1].get(), m_pPages[2].get()});
}

void CPageTabCtrl::PositionPages()
{
    RECT rcClient;
    RECT rcTab;
    GetClientRect(&rcClient);
    GetItemRect(0, &rcTab);
    const int x = rcTab.left;
    const int y = rcTab.bottom + kPageGapBelowTabs;
    const int nWidth = rcClient.right - rcTab.left - kPageInset;
    const int nHeight = rcClient.bottom - y - kPageInset;
    m_pPages[0]->SetWindowPos(x, y, nWidth, nHeight, SWP_SHOWWINDOW);
    for (int i = 1; i < m_nPageCount; ++i)
        m_pPages[i]->SetWindowPos(x, y, nWidth, nHeight, SWP_HIDEWINDOW);
}

void CPageTabCtrl::ShowPage(int nPage)
{
    if (nPage < 0 || nPage >= m_nPageCount)
        return;
    m_pPages[m_nCurrentPage]->ShowWindow(SW_HIDE);
    m_nCurrentPage = nPage;
    m_pPages[m_nCurrentPage]->ShowWindow(SW_SHOW);
    SetCurSel(nPage);
}

void CPageTabCtrl::SwitchTo(int nPage)
{
    if (nPage < 0 || nPage >= m_nPageCount || nPage == m_nCurrentPage)
        return;
    m_pPages[m_nCurrentPage]->ShowWindow(SW_HIDE);
    m_nCurrentPage = nPage;
    m_pPages[m_nCurrentPage]->ShowWindow(SW_SHOW);
}

void CPageTabCtrl::OnLButtonDown(UINT nFlags, POINT point)
{
    const int nShownBefore = m_nCurrentPage;
    CTabCtrl::OnLButtonDown(nFlags, point);
    const int nSelected = GetCurSel();
    if (nSelected == nShownBefore || nSelected < 0 || nSelected >= m_nPageCount)
        return;
    SwitchTo(nSelected);
    m_pPages[m_nCurrentPage]->SetFocus();
}

// The page always follows the selected tab, also when the keyboard moved it; only a click
// moves the focus into the page.
void CPageTabCtrl::OnSelChange()
{
    SwitchTo(GetCurSel());
}

BOOL CPageTabCtrl::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
        if (CWnd* pParent = GetParent())
            pParent->PostMessage(WM_KEYDOWN, pMsg->wParam, 0);
        return TRUE;
    }
    return CTabCtrl::PreTranslateMessage(pMsg);
}
