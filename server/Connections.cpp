// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/Connections.h"

#include "ControlProtocol.h"
#include "MessageBox.h"
#include "PageKeys.h"
#include "server/ServerHost.h"
#include "server/resource.h"

namespace
{

// Raised by a refresh that the listener asked for: shown later, without holding the listener.
constexpr UINT WM_SHOW_NO_DIALUP_NOTICE = WM_APP + 1;

} // namespace

CConnections::CConnections(CServerHost& host) : CConnectionsPage(IDC_CONNECTION_LIST), m_Host(host)
{
    MapCommand(IDC_REFRESH, BN_CLICKED, &CConnections::OnBnClickedRefresh);
}

BOOL CConnections::PreTranslateMessage(MSG* pMsg)
{
    return FilterPageKeys(this, pMsg) || CDialog::PreTranslateMessage(pMsg);
}

std::string CConnections::GetMediaTypeString(int nMediaType)
{
    return ControlProtocol::MediaTypeText(nMediaType);
}

std::string CConnections::GetStatusString(int nStatus)
{
    return ControlProtocol::StatusText(nStatus);
}

void CConnections::ShowConnections(const std::vector<SConnectionRow>& rows)
{
    if (IsOnWindowThread())
        PopulateConnectionList(rows);
    else
        PostCall([this, rows] { PopulateConnectionList(rows); });
}

void CConnections::ShowNoDialupNotice()
{
    if (IsOnWindowThread())
        RaiseNoDialupNotice();
    else
        PostMessage(WM_SHOW_NO_DIALUP_NOTICE);
}

void CConnections::ShowAddress(const std::string& strShown)
{
    if (IsOnWindowThread())
        SetIPAddress(strShown);
    else
        PostCall([this, strShown] { SetIPAddress(strShown); });
}

void CConnections::PopulateConnectionList(const std::vector<SConnectionRow>& rows)
{
    m_ConnectionList.DeleteAllItems();
    for (const SConnectionRow& row : rows)
        AddConnectionToList(row.strName, row.nMediaType, row.nStatus, row.bShared);
}

LRESULT CConnections::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SHOW_NO_DIALUP_NOTICE) {
        RaiseNoDialupNotice();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CConnections::RaiseNoDialupNotice()
{
    // One notice at a time: refreshes while it is open add no second one. A server that is
    // closing has no one left to tell.
    if (m_bNoticeOpen || m_Host.IsStopping())
        return;
    m_bNoticeOpen = true;
    MessageBox(this, CServerHost::kNoDialupText, CServerHost::kNoDialupCaption,
               MB_ICONINFORMATION | MB_OK);
    m_bNoticeOpen = false;
}

void CConnections::AddConnectionToList(const std::string& strName, int nMediaType, int nStatus,
                                       bool bShared)
{
    AppendRow(strName, GetMediaTypeString(nMediaType), GetStatusString(nStatus),
              bShared ? "Yes" : "No");
}

void CConnections::SetIPAddress(const std::string& strAddress)
{
    SetDlgItemText(IDC_IP_ADDRESS, strAddress);
}

void CConnections::OnBnClickedRefresh()
{
    m_Host.Refresh();
}
