// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListCtrl.h"

#include "qt/DialogUnits.h"
#include "qt/ListModel.h"

#include <QHeaderView>
#include <QTableView>

struct CListCtrl::SState {
    int nSelectionMark = -1;
    bool bTracking = false;

    // Follows the user's selection into the selection mark, once the view is there.
    void Track(QTableView* pView)
    {
        if (bTracking || pView == nullptr)
            return;
        bTracking = true;
        QObject::connect(pView->selectionModel(), &QItemSelectionModel::currentRowChanged, pView,
                         [this, pView](const QModelIndex& current) {
                             if (current.isValid() &&
                                 pView->selectionModel()->isRowSelected(current.row()))
                                 nSelectionMark = current.row();
                         });
        QObject::connect(pView, &QTableView::pressed, pView,
                         [this](const QModelIndex& index) { nSelectionMark = index.row(); });
    }
};

namespace
{

QTableView* ViewOf(const CListCtrl& list)
{
    return qobject_cast<QTableView*>(list.GetSafeHwnd());
}

CListModel* ModelOf(const CListCtrl& list)
{
    QTableView* pView = ViewOf(list);
    return pView != nullptr ? dynamic_cast<CListModel*>(pView->model()) : nullptr;
}

} // namespace

CListCtrl::CListCtrl() : m_pState(std::make_unique<SState>()) {}

CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int nCol, const std::string& strHeading, int, int nWidth)
{
    CListModel* pModel = ModelOf(*this);
    if (pModel == nullptr)
        return -1;
    m_pState->Track(ViewOf(*this));
    nCol = pModel->InsertColumn(nCol, strHeading);
    if (nCol >= 0 && nWidth >= 0)
        ViewOf(*this)->horizontalHeader()->resizeSection(
            nCol, ScaleDialogPixels(nWidth, ViewOf(*this)->font()));
    return nCol;
}

int CListCtrl::GetItemCount() const
{
    const CListModel* pModel = ModelOf(*this);
    return pModel != nullptr ? pModel->rowCount() : 0;
}

int CListCtrl::InsertItem(int nItem, const std::string& strItem)
{
    CListModel* pModel = ModelOf(*this);
    if (pModel == nullptr)
        return -1;
    m_pState->Track(ViewOf(*this));
    // Inserting neither selects the row nor scrolls the view to it.
    nItem = pModel->InsertRow(nItem, strItem);
    if (nItem >= 0 && m_pState->nSelectionMark >= nItem)
        ++m_pState->nSelectionMark;
    return nItem;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText)
{
    CListModel* pModel = ModelOf(*this);
    return pModel != nullptr && pModel->SetText(nItem, nSubItem, strText);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    const CListModel* pModel = ModelOf(*this);
    return pModel != nullptr ? pModel->Text(nItem, nSubItem) : std::string();
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    CListModel* pModel = ModelOf(*this);
    if (pModel == nullptr || !pModel->RemoveRow(nItem))
        return FALSE;
    if (m_pState->nSelectionMark == nItem)
        m_pState->nSelectionMark = -1;
    else if (m_pState->nSelectionMark > nItem)
        --m_pState->nSelectionMark;
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    CListModel* pModel = ModelOf(*this);
    if (pModel == nullptr)
        return FALSE;
    pModel->Clear();
    m_pState->nSelectionMark = -1;
    return TRUE;
}

int CListCtrl::GetSelectionMark() const
{
    return m_pState->nSelectionMark;
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, UINT nCode) const
{
    const QTableView* pView = ViewOf(*this);
    if (pView == nullptr || pRect == nullptr || nItem < 0 || nItem >= GetItemCount())
        return FALSE;
    const int nLastColumn = nCode == LVIR_LABEL ? 0 : ModelOf(*this)->columnCount() - 1;
    const QRect rcFirst = pView->visualRect(pView->model()->index(nItem, 0));
    const QRect rcLast = pView->visualRect(pView->model()->index(nItem, std::max(0, nLastColumn)));
    const QRect rcRow = rcFirst.united(rcLast);
    *pRect = RECT{rcRow.left(), rcRow.top(), rcRow.right() + 1, rcRow.bottom() + 1};
    return TRUE;
}

std::string CListCtrl::GetColumnHeading(int nCol) const
{
    const CListModel* pModel = ModelOf(*this);
    return pModel != nullptr ? pModel->Heading(nCol) : std::string();
}
