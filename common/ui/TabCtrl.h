// SPDX-License-Identifier: GPL-3.0-or-later
// CTabCtrl: a tab control of a dialog: a row of tabs over a pane. A left-button press on a tab
// reaches OnLButtonDown before the tab control handles it; the handler lets it do so with
// Default. Every change of the selected tab, by mouse or keyboard, is reported to OnSelChange.
#pragma once

#include "Wnd.h"

#include <memory>
#include <vector>

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

protected:
    virtual void OnLButtonDown(UINT nFlags, POINT point);
    virtual void OnSelChange();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(const NMHDR* pHeader) override;

private:
    // The platform's part: on Linux, the hooks on Qt's tab row.
    struct SState;
    std::unique_ptr<SState> m_pState;
};
