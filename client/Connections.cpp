// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Connections.h"

#include "ControlProtocol.h"
#include "Kernel.h"
#include "PageKeys.h"
#include "client/resource.h"

namespace
{

constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";

} // namespace

CConnections::CConnections() : CConnectionsPage(IDC_CONNECTION_LIST) {}

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
    AppendRow(strName, strType, strStatus, strShared);
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
