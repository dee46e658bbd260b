// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionsPage.h"

#include "DataExchange.h"

void CConnectionsPage::AppendRow(const std::string& strName, const std::string& strType,
                                 const std::string& strStatus, const std::string& strShared)
{
    const int nRow = m_ConnectionList.GetItemCount();
    m_ConnectionList.InsertItem(nRow, strName);
    m_ConnectionList.SetItemText(nRow, 1, strType);
    m_ConnectionList.SetItemText(nRow, 2, strStatus);
    m_ConnectionList.SetItemText(nRow, 3, strShared);
}

void CConnectionsPage::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, m_nListId, m_ConnectionList);
}

BOOL CConnectionsPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_ConnectionList.InsertColumn(0, "Name", LVCFMT_LEFT, kNameWidth);
    m_ConnectionList.InsertColumn(1, "Type", LVCFMT_LEFT, kTypeWidth);
    m_ConnectionList.InsertColumn(2, "Connection status", LVCFMT_LEFT, kStatusWidth);
    m_ConnectionList.InsertColumn(3, "Shared", LVCFMT_LEFT, kSharedWidth);
    return TRUE;
}
