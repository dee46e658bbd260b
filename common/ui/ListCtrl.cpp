#include "ListCtrl.h"

#include "DialogUnits.h"

#include <QHeaderView>
#include <QTreeWidget>

QTreeWidget* CListCtrl::GetTree() const
{
    return qobject_cast<QTreeWidget*>(GetWidget());
}

void CListCtrl::Track()
{
    QTreeWidget* pTree = GetTree();
    if (m_bTracking || pTree == nullptr)
        return;
    m_bTracking = true;
    QObject::connect(pTree, &QTreeWidget::currentItemChanged, pTree,
                     [this, pTree](QTreeWidgetItem* pCurrent) {
                         if (pCurrent != nullptr && pCurrent->isSelected())
                             m_nSelectionMark = pTree->indexOfTopLevelItem(pCurrent);
                     });
    QObject::connect(pTree, &QTreeWidget::itemPressed, pTree, [this, pTree](QTreeWidgetItem* p) {
        m_nSelectionMark = pTree->indexOfTopLevelItem(p);
    });
}

int CListCtrl::InsertColumn(int nCol, const std::string& strHeading, int, int nWidth)
{
    QTreeWidget* pTree = GetTree();
    if (pTree == nullptr || nCol < 0)
        return -1;
    Track();
    const int nCount = pTree->columnCount();
    nCol = std::min(nCol, nCount);
    QStringList headings;
    for (int i = 0; i < nCount; ++i)
        headings << pTree->headerItem()->text(i);
    headings.insert(nCol, QString::fromStdString(strHeading));
    pTree->setColumnCount(nCount + 1);
    pTree->setHeaderLabels(headings);
    for (int i = 0; i < headings.size(); ++i)
        pTree->headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
    if (nWidth >= 0)
        pTree->header()->resizeSection(nCol, ScaleDialogPixels(nWidth, pTree->font()));
    return nCol;
}

int CListCtrl::GetItemCount() const
{
    QTreeWidget* pTree = GetTree();
    return pTree != nullptr ? pTree->topLevelItemCount() : 0;
}

int CListCtrl::InsertItem(int nItem, const std::string& strItem)
{
    QTreeWidget* pTree = GetTree();
    if (pTree == nullptr || nItem < 0)
        return -1;
    Track();
    nItem = std::min(nItem, pTree->topLevelItemCount());
    auto* pItem = new QTreeWidgetItem;
    pItem->setText(0, QString::fromStdString(strItem));
    // Inserting neither selects the row nor scrolls the view to it.
    pTree->insertTopLevelItem(nItem, pItem);
    if (m_nSelectionMark >= nItem)
        ++m_nSelectionMark;
    return nItem;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText)
{
    QTreeWidget* pTree = GetTree();
    QTreeWidgetItem* pItem = pTree != nullptr ? pTree->topLevelItem(nItem) : nullptr;
    if (pItem == nullptr || nSubItem < 0 || nSubItem >= pTree->columnCount())
        return FALSE;
    pItem->setText(nSubItem, QString::fromStdString(strText));
    return TRUE;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    QTreeWidget* pTree = GetTree();
    QTreeWidgetItem* pItem = pTree != nullptr ? pTree->topLevelItem(nItem) : nullptr;
    return pItem != nullptr ? pItem->text(nSubItem).toStdString() : std::string();
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    QTreeWidget* pTree = GetTree();
    if (pTree == nullptr || nItem < 0 || nItem >= pTree->topLevelItemCount())
        return FALSE;
    delete pTree->takeTopLevelItem(nItem);
    if (m_nSelectionMark == nItem)
        m_nSelectionMark = -1;
    else if (m_nSelectionMark > nItem)
        --m_nSelectionMark;
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    QTreeWidget* pTree = GetTree();
    if (pTree == nullptr)
        return FALSE;
    pTree->clear();
    m_nSelectionMark = -1;
    return TRUE;
}

int CListCtrl::GetSelectionMark() const
{
    return m_nSelectionMark;
}
