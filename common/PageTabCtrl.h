// CPageTabCtrl: the tab control of both main windows. It owns the three pages, creates their
// windows inside itself below the tabs, and shows the page of the selected tab; Enter and Escape
// that reach it go on to the main window.
#pragma once

#include "Dialog.h"
#include "TabCtrl.h"

class CPageTabCtrl : public CTabCtrl
{
public:
    static constexpr int kPageCount = 3;
    static constexpr UINT kPageTemplates[kPageCount] = {129, 130, 131};

    // Takes the program's three pages: connections, communications and log.
    CPageTabCtrl(CDialog* pConnectionsPage, CDialog* pCommsPage, CDialog* pLogPage);
    ~CPageTabCtrl() override;

    void CreatePages();
    // Inserts the tabs "Connections", "Communications" and "Log", then creates the pages.
    void InsertTabsAndCreatePages();
    void ShowPage(int nPage);

    CDialog* m_pPages[kPageCount];
    int m_nCurrentPage;
    int m_nPageCount;

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnSelChange() override;

private:
    void PositionPages();
    void NamePages();
    void OrderFocus();
    void SwitchTo(int nPage);
};
