// SPDX-License-Identifier: GPL-3.0-or-later
// CPageTabCtrl: the tab control of both main windows. It owns the three pages, creates their
// windows inside itself below the tabs, and shows the page of the selected tab; Enter and Escape
// that reach it go on to the main window.
#pragma once

#include "Dialog.h"
#include "TabCtrl.h"

#include <memory>

class CPageTabCtrl : public CTabCtrl
{
public:
    static constexpr int kPageCount = 3;
    static constexpr UINT kPageTemplates[kPageCount] = {129, 130, 131};
    static constexpr int kPageGapBelowTabs = 1; // pixels between the tabs and the pages
    static constexpr int kPageInset = 3;        // pixels left free at the right and bottom

    // Takes the program's three pages: connections, communications and log.
    CPageTabCtrl(CDialog* pConnectionsPage, CDialog* pCommsPage, CDialog* pLogPage);
    ~CPageTabCtrl() override;

    void CreatePages();
    // Inserts the tabs "Connections", "Communications" and "Log", then creates the pages.
    void InsertTabsAndCreatePages();
    void ShowPage(int nPage);
    // A page as the program's own class; null for an index without a page of that class.
    template <typename TPage>
    TPage* GetPage(int nPage) const
    {
        return nPage >= 0 && nPage < m_nPageCount ? dynamic_cast<TPage*>(m_pPages[nPage].get())
                                                  : nullptr;
    }

    std::unique_ptr<CDialog> m_pPages[kPageCount];
    int m_nCurrentPage;
    int m_nPageCount;

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnSelChange() override;

private:
    void PositionPages();
    void SwitchTo(int nPage);
};
