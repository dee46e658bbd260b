// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListCtrl.h"

#include "posix/DialogUnits.h"
#include "posix/ListModel.h"

#include <QHeaderView>
#include <QTableView>

QTableView* CListCtrl::GetView() const
{
    return qobject_cast<QTableView*>(GetWidget());
}

CListModel* CListCtrl::GetModel() const
{
    QTableView* pView = GetView();
    return pView != nullptr ? dynamic_cast<CListModel*>(pView->model()) : nullptr;
}

void CListCtrl::Track()
{
    QTableView* pView = GetView();
    if (m_bTracking || pView == nullptr)
        return;
    m_bTracking = true;
    QObject::connect(pView->selectionModel(), &QItemSelectionModel::currentRowChanged, pView,
                     [this, pView](const QModelIndex& current) {
                         if (current.isValid() &&
                             pView->selectionModel()->isRowSelected(current.row()))
                             m_nSelectionMark = current.row();
                     });
    QObject::connect(pView, &QTableView::pressed, pView,
                     [this](const QModelIndex& index) { m_nSelectionMark = index.row(); });
}

int CListCtrl::InsertColumn(int nCol, const std::string& strHeading, int, int nWidth)
{
    CListModel* pModel = GetModel();
    if (pModel == nullptr)
        return -1;
    Track();
    nCol = pModel->InsertColumn(nCol, strHeading);
    if (nCol >= 0 && nWidth >= 0)
        GetView()->horizontalHeader()->resizeSection(nCol,
                                                     ScaleDialogPixels(nWidth, GetView()->font()));
    return nCol;
}

int CListCtrl::GetItemCount() const
{
    const CListModel* pModel = GetModel();
    return pModel != nullptr ? pModel->rowCount() : 0;
}

int CListCtrl::InsertItem(int nItem, const std::string& strItem)
{
    CListModel* pModel = GetModel();
    if (pModel == nullptr)
        return -1;
    Track();
    // Inserting neither selects the row nor scrolls the view to it.
    nItem = pModel->InsertRow(nItem, strItem);
    if (nItem >= 0 && m_nSelectionMark >= nItem)
        ++m_nSelectionMark;
    return nItem;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText)
{
    CListModel* pModel = GetModel();
    return pModel != nullptr && pModel->SetText(nItem, nSubItem, strText);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    const CListModel* pModel = GetModel();
    return pModel != nullptr ? pModel->Text(nItem, nSubItem) : std::string();
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    CListModel* pModel = GetModel();
    if (pModel == nullptr || !pModel->RemoveRow(nItem))
        return FALSE;
    if (m_nSelectionMark == nItem)
        m_nSelectionMark = -1;
    else if (m_nSelectionMark > nItem)
        --m_nSelectionMark;
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    CListModel* pModel = GetModel();
    if (pModel == nullptr)
        return FALSE;
    pModel->Clear();
    m_nSelectionMark = -1;
    return TRUE;
}

int CListCtrl::GetSelectionMark() const
{
    return m_nSelectionMark;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, UINT nCode) const
{
    const QTableView* pView = GetView();
    if (pView == nullptr || pRect == nullptr || nItem < 0 || nItem >= GetItemCount())
        return FALSE;
    const int nLastColumn = nCode == LVIR_LABEL ? 0 : GetModel()->columnCount() - 1;
    const QRect rcFirst = pView->visualRect(pView->model()->index(nItem, 0));
    const QRect rcLast = pView->visualRect(pView->model()->index(nItem, std::max(0, nLastColumn)));
    const QRect rcRow = rcFirst.united(rcLast);
    *pRect = RECT{rcRow.left(), rcRow.top(), rcRow.right() + 1, rcRow.bottom() + 1};
    return TRUE;
}

std::string CListCtrl::GetColumnHeading(int nCol) const
{
    const CListModel* pModel = GetModel();
    return pModel != nullptr ? pModel->Heading(nCol) : std::string();
}
