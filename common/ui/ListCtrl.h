// SPDX-License-Identifier: GPL-3.0-or-later
// CListCtrl: a list view in report view, a control of a dialog: the system's own on Windows, a
// table over a compact model elsewhere. Rows keep the order in which they were inserted; the
// selection mark is the row selected last, -1 when there is none.
#pragma once

#include "Wnd.h"

#include <memory>

class CListCtrl : public CWnd
{
public:
    CListCtrl();
    ~CListCtrl() override;

    int InsertColumn(int nCol, const std::string& strHeading, int nFormat = LVCFMT_LEFT,
                     int nWidth = -1);
    int GetItemCount() const;
    int InsertItem(int nItem, const std::string& strItem);
    BOOL SetItemText(int nItem, int nSubItem, const std::string& strText);
    std::string GetItemText(int nItem, int nSubItem) const;
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetSelectionMark() const;
    // The row's rectangle in the list's client area: LVIR_BOUNDS all its columns, LVIR_LABEL
    // its first column, the part that a press selects it by.
    BOOL GetItemRect(int nItem, RECT* pRect, UINT nCode) const;
    std::string GetColumnHeading(int nCol) const;

private:
    // The platform's part: on Linux, the selection mark that Qt does not keep.
    struct SState;
    std::unique_ptr<SState> m_pState;
};
