// SPDX-License-Identifier: GPL-3.0-or-later
// A list view without a toolkit: its columns and rows in memory.
#include "ListCtrl.h"

#include "headless/Window.h"

#include <algorithm>

namespace
{

// A column's width unless one is given, in pixels.
constexpr int kColumnWidth = 100;

SWindow* ListOf(const CListCtrl& list)
{
    SWindow* pWindow = list.GetSafeHwnd();
    return pWindow != nullptr && pWindow->Kind == EWindowKind::ListView ? pWindow : nullptr;
}

bool IsRow(const SWindow* pList, int nItem)
{
    return nItem >= 0 && nItem < static_cast<int>(pList->Rows.size());
}

// A cell's text ends at its first NUL, as the system's list keeps it.
std::string UpToNul(const std::string& strText)
{
    return strText.substr(0, strText.find('\0'));
}

} // namespace

struct CListCtrl::SState {
};

CListCtrl::CListCtrl() : m_pState(std::make_unique<SState>()) {}

CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int nCol, const std::string& strHeading, int, int nWidth)
{
    SWindow* pList = ListOf(*this);
    if (pList == nullptr || nCol < 0)
        return -1;
    nCol = std::min(nCol, static_cast<int>(pList->Columns.size()));
    pList->Columns.insert(pList->Columns.begin() + nCol, strHeading);
    pList->ColumnWidths.insert(pList->ColumnWidths.begin() + nCol,
                               nWidth >= 0 ? nWidth : kColumnWidth);
    for (std::vector<std::string>& row : pList->Rows) {
        if (static_cast<int>(row.size()) > nCol)
            row.insert(row.begin() + nCol, std::string());
    }
    return nCol;
}

int CListCtrl::GetItemCount() const
{
    const SWindow* pList = ListOf(*this);
    return pList != nullptr ? static_cast<int>(pList->Rows.size()) : 0;
}

int CListCtrl::InsertItem(int nItem, const std::string& strItem)
{
    SWindow* pList = ListOf(*this);
    if (pList == nullptr || nItem < 0)
        return -1;
    // Inserting neither selects the row nor moves the selection from its row.
    nItem = std::min(nItem, GetItemCount());
    pList->Rows.insert(pList->Rows.begin() + nItem, {UpToNul(strItem)});
    for (int* pRow : {&pList->nSelectionMark, &pList->nSelectedRow}) {
        if (*pRow >= nItem)
            ++*pRow;
    }
    return nItem;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText)
{
    SWindow* pList = ListOf(*this);
    if (pList == nullptr || !IsRow(pList, nItem) || nSubItem < 0 ||
        nSubItem >= static_cast<int>(pList->Columns.size()))
        return FALSE;
    std::vector<std::string>& row = pList->Rows[static_cast<std::size_t>(nItem)];
    row.resize(std::max(row.size(), static_cast<std::size_t>(nSubItem) + 1));
    row[static_cast<std::size_t>(nSubItem)] = UpToNul(strText);
    return TRUE;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    const SWindow* pList = ListOf(*this);
    if (pList == nullptr || !IsRow(pList, nItem) || nSubItem < 0)
        return {};
    const std::vector<std::string>& row = pList->Rows[static_cast<std::size_t>(nItem)];
    return nSubItem < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(nSubItem)]
                                                   : std::string();
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    SWindow* pList = ListOf(*this);
    if (pList == nullptr || !IsRow(pList, nItem))
        return FALSE;
    pList->Rows.erase(pList->Rows.begin() + nItem);
    for (int* pRow : {&pList->nSelectionMark, &pList->nSelectedRow}) {
        if (*pRow == nItem)
            *pRow = -1;
        else if (*pRow > nItem)
            --*pRow;
    }
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    SWindow* pList = ListOf(*this);
    if (pList == nullptr)
        return FALSE;
    pList->Rows.clear();
    pList->nSelectionMark = -1;
    pList->nSelectedRow = -1;
    return TRUE;
}

int CListCtrl::GetSelectionMark() const
{
    const SWindow* pList = ListOf(*this);
    return pList != nullptr ? pList->nSelectionMark : -1;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, UINT nCode) const
{
    const SWindow* pList = ListOf(*this);
    if (pList == nullptr || pRect == nullptr || !IsRow(pList, nItem))
        return FALSE;
    *pRect = pList->RowRect(nItem, nCode == LVIR_LABEL);
    return TRUE;
}

std::string CListCtrl::GetColumnHeading(int nCol) const
{
    const SWindow* pList = ListOf(*this);
    if (pList == nullptr || nCol < 0 || nCol >= static_cast<int>(pList->Columns.size()))
        return {};
    return pList->Columns[static_cast<std::size_t>(nCol)];
}
