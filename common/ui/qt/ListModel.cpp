// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ListModel.h"

#include <cstring>

namespace
{

std::string UpToNul(const std::string& strText)
{
    return strText.substr(0, std::strlen(strText.c_str()));
}

} // namespace

CListModel::CListModel(QObject* pParent) : QAbstractTableModel(pParent) {}

int CListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
}

int CListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_Headings.size());
}

QVariant CListModel::data(const QModelIndex& index, int nRole) const
{
    if (nRole != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return QString::fromStdString(Text(index.row(), index.column()));
}

QVariant CListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    if (orientation != Qt::Horizontal || nSection < 0 || nSection >= columnCount())
        return QVariant();
    if (nRole == Qt::DisplayRole)
        return QString::fromStdString(m_Headings[static_cast<std::size_t>(nSection)]);
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

std::vector<std::string> CListModel::Fields(const std::string& strRow)
{
    std::vector<std::string> fields;
    for (std::size_t nStart = 0; nStart < strRow.size();) {
        const std::size_t nEnd = strRow.find('\0', nStart);
        fields.push_back(strRow.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return fields;
}

std::string CListModel::Joined(const std::vector<std::string>& fields)
{
    std::string strRow;
    for (const std::string& strField : fields) {
        strRow += strField;
        strRow += '\0';
    }
    return strRow;
}

bool CListModel::IsRow(int nRow) const
{
    return nRow >= 0 && nRow < rowCount();
}

int CListModel::InsertColumn(int nCol, const std::string& strHeading)
{
    if (nCol < 0)
        return -1;
    nCol = std::min(nCol, columnCount());
    beginInsertColumns(QModelIndex(), nCol, nCol);
    m_Headings.insert(m_Headings.begin() + nCol, UpToNul(strHeading));
    for (std::string& strRow : m_Rows) {
        std::vector<std::string> fields = Fields(strRow);
        if (static_cast<std::size_t>(nCol) < fields.size())
            fields.insert(fields.begin() + nCol, std::string());
        strRow = Joined(fields);
    }
    endInsertColumns();
    return nCol;
}

int CListModel::InsertRow(int nRow, const std::string& strText)
{
    if (nRow < 0)
        return -1;
    nRow = std::min(nRow, rowCount());
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_Rows.insert(m_Rows.begin() + nRow, Joined({UpToNul(strText)}));
    endInsertRows();
    return nRow;
}

bool CListModel::SetText(int nRow, int nCol, const std::string& strText)
{
    if (!IsRow(nRow) || nCol < 0 || nCol >= columnCount())
        return false;
    std::string& strRow = m_Rows[static_cast<std::size_t>(nRow)];
    std::vector<std::string> fields = Fields(strRow);
    fields.resize(std::max(fields.size(), static_cast<std::size_t>(nCol) + 1));
    fields[static_cast<std::size_t>(nCol)] = UpToNul(strText);
    strRow = Joined(fields);
    strRow.shrink_to_fit();
    emit dataChanged(index(nRow, nCol), index(nRow, nCol));
    return true;
}

std::string CListModel::Text(int nRow, int nCol) const
{
    if (!IsRow(nRow) || nCol < 0)
        return std::string();
    const std::string& strRow = m_Rows[static_cast<std::size_t>(nRow)];
    std::size_t nStart = 0;
    for (int i = 0; i < nCol && nStart < strRow.size(); ++i)
        nStart = strRow.find('\0', nStart) + 1;
    if (nStart >= strRow.size())
        return std::string();
    return strRow.substr(nStart, strRow.find('\0', nStart) - nStart);
}

std::string CListModel::Heading(int nCol) const
{
    return nCol >= 0 && nCol < columnCount() ? m_Headings[static_cast<std::size_t>(nCol)]
                                             : std::string();
}

bool CListModel::RemoveRow(int nRow)
{
    if (!IsRow(nRow))
        return false;
    beginRemoveRows(QModelIndex(), nRow, nRow);
    m_Rows.erase(m_Rows.begin() + nRow);
    endRemoveRows();
    return true;
}

void CListModel::Clear()
{
    beginResetModel();
    m_Rows.clear();
    endResetModel();
}
