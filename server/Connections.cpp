// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/Connections.h"

#include "ConnectionColumns.h"
#include "ControlProtocol.h"
#include "Journal.h"
#include "Log.h"
#include "MessageBox.h"
#include "PageKeys.h"
#include "UiApplication.h"
#include "server/resource.h"

#include <cstdio>
#include <vector>

namespace
{

// Raised by a refresh that the listener asked for: shown later, without holding the listener.
constexpr UINT WM_SHOW_NO_DIALUP_NOTICE = WM_APP + 1;

// One connection as the list shows it, read under the manager's lock and added after it.
struct SRow {
    std::string strName;
    int nMediaType = -1;
    int nStatus = -1;
    bool bShared = false;
};

} // namespace

CConnections::CConnections() : CDialog(IDD)
{
    MapCommand(IDC_REFRESH, BN_CLICKED, &CConnections::OnBnClickedRefresh);
}

void CConnections::SetModel(CSharedConnections& connections, ILogSink& log)
{
    m_pConnections = &connections;
    m_pLog = &log;
}

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

void CConnections::PopulateConnectionList()
{
    const bool bFromWindowThread = IsOnWindowThread();
    SendCall([this, bFromWindowThread] { Populate(bFromWindowThread); });
}

void CConnections::RefreshConnectionList()
{
    const bool bFromWindowThread = IsOnWindowThread();
    const auto refresh = [this, bFromWindowThread] {
        m_ConnectionList.DeleteAllItems();
        Populate(bFromWindowThread);
    };
    // The listener does not wait for the window: the refresh follows the entries it has posted,
    // and the listener is back at its socket for the next client at once.
    if (bFromWindowThread)
        refresh();
    else
        PostCall(refresh);
}

void CConnections::Populate(bool bFromWindowThread)
{
    std::vector<SRow> rows;
    int nDialupConnections = 0;
    m_pConnections->With([&](CMyNetConnection& manager) {
        manager.QueryConnections();
        nDialupConnections = manager.DialupConnectionCount();
        for (int i = 0; nDialupConnections != 0 && i < manager.ConnectionCount(); ++i) {
            SRow row;
            row.strName = manager.GetName(i);
            row.nStatus = manager.GetStatus(i);
            row.nMediaType = manager.GetMediaType(i);
            row.bShared = manager.IsShared(i) != VARIANT_FALSE;
            rows.push_back(std::move(row));
        }
    });
    if (nDialupConnections == 0) {
        if (bFromWindowThread)
            ShowNoDialupNotice();
        else
            PostMessage(WM_SHOW_NO_DIALUP_NOTICE);
        return;
    }
    for (const SRow& row : rows)
        AddConnectionToList(row.strName, row.nMediaType, row.nStatus, row.bShared);
    m_pLog->AddEntry("Populated connection list");
}

LRESULT CConnections::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SHOW_NO_DIALUP_NOTICE) {
        // A server that is closing has no one left to tell.
        if (!m_bClosing)
            ShowNoDialupNotice();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CConnections::ShowNoDialupNotice()
{
    // One notice at a time: refreshes while it is open add no second one.
    if (m_bNoticeOpen)
        return;
    m_bNoticeOpen = true;
    MessageBox(this, "There are no Dial-up connections on this machine", "Information",
               MB_ICONINFORMATION | MB_OK);
    m_bNoticeOpen = false;
}

void CConnections::AddConnectionToList(const std::string& strName, int nMediaType, int nStatus,
                                       bool bShared)
{
    const int nRow = m_ConnectionList.GetItemCount();
    m_ConnectionList.InsertItem(nRow, strName);
    m_ConnectionList.SetItemText(nRow, 1, GetMediaTypeString(nMediaType));
    m_ConnectionList.SetItemText(nRow, 2, GetStatusString(nStatus));
    m_ConnectionList.SetItemText(nRow, 3, bShared ? "Yes" : "No");
}

void CConnections::SetIPAddress(const std::string& strAddress)
{
    SetDlgItemText(IDC_IP_ADDRESS, strAddress);
    // Without a screen no one sees the label: say it on the terminal instead.
    if (CUiApplication::IsHeadless()) {
        std::printf("%sIP Address: %s\n", Journal::LinePrefix(Journal::EPriority::Info, 1),
                    strAddress.c_str());
        std::fflush(stdout);
    }
}

void CConnections::OnBnClickedRefresh()
{
    RefreshConnectionList();
}
