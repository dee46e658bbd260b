// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListCtrl.h"

namespace
{

// Pixels stated for the original dialog font ("MS Shell Dlg" 8 at 96 dots per inch, 6 pixels per
// character), turned into the same width for the window's font and resolution.
int ScaleDialogPixels(HWND hList, int nPixels)
{
    RECT rcFourUnits{0, 0, 4, 0};
    ::MapDialogRect(::GetParent(hList), &rcFourUnits);
    return std::max(nPixels, ::MulDiv(nPixels, rcFourUnits.right, 6));
}

} // namespace

// The system's list view keeps its state itself.
struct CListCtrl::SState {
};

CListCtrl::CListCtrl() = default;

CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int nCol, const std::string& strHeading, int nFormat, int nWidth)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT | (nWidth >= 0 ? LVCF_WIDTH : 0);
    column.fmt = nFormat;
    column.cx = nWidth >= 0 ? ScaleDialogPixels(GetSafeHwnd(), nWidth) : 0;
    column.pszText = const_cast<char*>(strHeading.c_str());
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(nCol),
                                        reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::GetItemCount() const
{
    return IsWindow() ? ListView_GetItemCount(GetSafeHwnd()) : 0;
}

int CListCtrl::InsertItem(int nItem, const std::string& strItem)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<char*>(strItem.c_str());
    return IsWindow() ? static_cast<int>(::SendMessageA(GetSafeHwnd(), LVM_INSERTITEMA, 0,
                                                        reinterpret_cast<LPARAM>(&item)))
                      : -1;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText)
{
    LVITEMA item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<char*>(strText.c_str());
    return IsWindow() && ::SendMessageA(GetSafeHwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(nItem),
                                        reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    if (!IsWindow() || nItem < 0 || nItem >= GetItemCount())
        return {};
    // The list copies at most the buffer's size less one: grow it until the text fits.
    std::string strText(256, '\0');
    for (;;) {
        LVITEMA item{};
        item.iSubItem = nSubItem;
        item.pszText = strText.data();
        item.cchTextMax = static_cast<int>(strText.size());
        const auto nLength = static_cast<size_t>(::SendMessageA(GetSafeHwnd(), LVM_GETITEMTEXTA,
                                                                static_cast<WPARAM>(nItem),
                                                                reinterpret_cast<LPARAM>(&item)));
        if (nLength + 1 < strText.size()) {
            strText.resize(nLength);
            return strText;
        }
        strText.resize(strText.size() * 2);
    }
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    return IsWindow() && ListView_DeleteItem(GetSafeHwnd(), nItem);
}

BOOL CListCtrl::DeleteAllItems()
{
    return IsWindow() && ListView_DeleteAllItems(GetSafeHwnd());
}

int CListCtrl::GetSelectionMark() const
{
    return IsWindow() ? ListView_GetSelectionMark(GetSafeHwnd()) : -1;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, UINT nCode) const
{
    if (!IsWindow() || pRect == nullptr || nItem < 0 || nItem >= GetItemCount())
        return FALSE;
    return ListView_GetItemRect(GetSafeHwnd(), nItem, pRect, static_cast<int>(nCode));
}

std::string CListCtrl::GetColumnHeading(int nCol) const
{
    char cBuffer[256] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = cBuffer;
    column.cchTextMax = static_cast<int>(sizeof(cBuffer));
    if (!IsWindow() || ::SendMessageA(GetSafeHwnd(), LVM_GETCOLUMNA, static_cast<WPARAM>(nCol),
                                      reinterpret_cast<LPARAM>(&column)) == 0)
        return {};
    return cBuffer;
}
