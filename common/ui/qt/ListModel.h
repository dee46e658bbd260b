// SPDX-License-Identifier: GPL-3.0-or-later
// CListModel: the rows of a list view in report view, kept as compactly as a log of a hundred
// thousand entries needs: one string per row holding its columns' texts, each ended by a NUL
// (as with the platform's list view, an item's text ends at its first NUL). The view asks only
// for the rows it shows.
#pragma once

#include <QAbstractTableModel>
#include <deque>
#include <string>
#include <vector>

class CListModel : public QAbstractTableModel
{
public:
    explicit CListModel(QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation,
                        int nRole = Qt::DisplayRole) const override;

    // Each returns the place used, or -1 (false) when there is no such row or column.
    int InsertColumn(int nCol, const std::string& strHeading);
    int InsertRow(int nRow, const std::string& strText);
    bool SetText(int nRow, int nCol, const std::string& strText);
    std::string Text(int nRow, int nCol) const;
    std::string Heading(int nCol) const;
    bool RemoveRow(int nRow);
    void Clear();

private:
    static std::vector<std::string> Fields(const std::string& strRow);
    static std::string Joined(const std::vector<std::string>& fields);
    bool IsRow(int nRow) const;

    std::vector<std::string> m_Headings;
    std::deque<std::string> m_Rows;
};
