// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Connections.h"

#include "ConnectionColumns.h"
#include "ControlProtocol.h"
#include "Kernel.h"
#include "PageKeys.h"
#include "client/resource.h"

namespace
{

constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";

} // namespace

CConnections::CConnections() : CDialog(IDD) {}

void CConnections::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONNECTION_LIST, m_ConnectionList);
}

BOOL CConnections::OnInitDialog()
{
    CDialog::OnInitDialog();
    InsertConnectionColumns(m_ConnectionList);
    return TRUE;
}

BOOL CConnections::PreTranslateMessage(MSG* pMsg)
{
    return SwallowEnterAndEscape(pMsg) || CDialog::PreTranslateMessage(pMsg);
}

void CConnections::PopulateConnectionList(std::string strReply)
{
    m_ConnectionList.DeleteAllItems();
    std::vector<ControlProtocol::SConnectionEntry> entries;
    if (!ControlProtocol::ReadConnectionListReply(strReply, entries)) {
        OutputDebugStringA("CConnections::PopulateConnectionList(): Invalid connection count\n");
        return;
    }
    for (const auto& entry : entries)
        AddConnectionToList(entry.strName, entry.strStatus, entry.strType,
                            entry.bShared ? kYes : kNo);
}

void CConnections::AddConnectionToList(std::string strName, std::string strStatus,
                                       std::string strType, std::string strShared)
{
    const int nRow = m_ConnectionList.GetItemCount();
    m_ConnectionList.InsertItem(nRow, strName);
    m_ConnectionList.SetItemText(nRow, 1, strType);
    m_ConnectionList.SetItemText(nRow, 2, strStatus);
    m_ConnectionList.SetItemText(nRow, 3, strShared);
}

BOOL CConnections::OnContextMenu(CWnd*, POINT point)
{
    const int nSelected = m_ConnectionList.GetSelectionMark();
    if (nSelected == -1)
        return TRUE;
    const bool bShared = m_ConnectionList.GetItemText(nSelected, 3) == kYes;
    CMenu menu;
    if (!menu.LoadMenu(IDR_CONTEXT_MENU))
        return TRUE;
    CMenu* pPopup = menu.GetSubMenu(0);
    if (pPopup == nullptr)
        return TRUE;
    if (point.x == -1 && point.y == -1) {
        RECT rcClient;
        GetClientRect(&rcClient);
        ClientToScreen(&rcClient);
        point = POINT{rcClient.left + kKeyboardMenuOffset, rcClient.top + kKeyboardMenuOffset};
    }
    pPopup->EnableMenuItem(ID_SHARE_THIS_CONNECTION,
                           MF_BYCOMMAND | (bShared ? MF_GRAYED : MF_ENABLED));
    pPopup->EnableMenuItem(ID_DISABLE_THIS_SHARE,
                           MF_BYCOMMAND | (bShared ? MF_ENABLED : MF_GRAYED));
    pPopup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, GetTopLevelWindow());
    return TRUE;
}
