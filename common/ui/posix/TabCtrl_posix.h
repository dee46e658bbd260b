// SPDX-License-Identifier: GPL-3.0-or-later
// CTabCtrl: a tab control of a dialog: a row of tabs over a pane. A left-button press on a tab
// reaches OnLButtonDown before the tab row handles it; the handler lets it do so with Default.
// Every change of the selected tab, by mouse or keyboard, is reported to OnSelChange.
#pragma once

#include "Wnd.h"

#include <vector>

class QMouseEvent;
class QTabBar;

class CTabCtrl : public CWnd
{
public:
    CTabCtrl();
    ~CTabCtrl() override;

    int InsertItem(int nItem, const std::string& strLabel);
    int GetItemCount() const;
    std::string GetItemText(int nItem) const;
    // The rectangle of a tab in the tab control's client coordinates.
    BOOL GetItemRect(int nItem, RECT* pRect) const;
    int GetCurSel() const;
    int SetCurSel(int nItem);

    // Takes the pages shown on it, one per tab, into the keyboard's order of its dialog and names
    // each after its tab.
    void AdoptPages(const std::vector<CWnd*>& pages);

    QTabBar* GetTabBar() const;

protected:
    virtual void OnLButtonDown(UINT nFlags, POINT point);
    virtual void OnSelChange();
    // The tab row's own handling of the press being dispatched.
    void Default();

private:
    class CPressFilter;
    void Hook();
    void LayOut();

    CPressFilter* m_pPressFilter = nullptr;
    QMouseEvent* m_pPendingPress = nullptr;
};
