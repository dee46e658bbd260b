// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowClientDlg.h"

#include "ClientResources.h"
#include "ControlProtocol.h"
#include "Format.h"
#include "MessageBox.h"
#include "PageKeys.h"
#include "client/resource.h"

CTarnlowClientDlg::CTarnlowClientDlg(CWnd* pParent)
    : CMainDialog(new CConnections, new CComms, kClientLogVariant, pParent)
{
    MapCommand(IDC_CONNECT, BN_CLICKED, &CTarnlowClientDlg::OnBnClickedConnect);
    MapCommand(ID_SHARE_THIS_CONNECTION, 0, &CTarnlowClientDlg::OnShareThisConnection);
    MapCommand(ID_DISABLE_THIS_SHARE, 0, &CTarnlowClientDlg::OnDisableThisShare);
}

CTarnlowClientDlg::~CTarnlowClientDlg()
{
    // Its running exchange may still call on the pages: it ends while they are there.
    m_pExchange.reset();
    if (m_pLogPage != nullptr)
        m_Log.RemoveView(*m_pLogPage);
}

BOOL CTarnlowClientDlg::OnInitDialog()
{
    CMainDialog::OnInitDialog();
    if (!InitialiseClient()) {
        SendMessage(WM_CLOSE);
        return TRUE;
    }
    m_Log.AddEntry("Initialsation successful");
    return TRUE;
}

bool CTarnlowClientDlg::InitialiseClient()
{
    CreatePages();
    m_Log.AddView(*m_pLogPage);
    m_pExchange = std::make_unique<CServerExchange>(
        m_Sockets, m_Log, [this](const std::string& strReply) { ShowConnectionList(strReply); });
    if (!m_Sockets.StartSockets()) {
        MessageBox(this, "Failed to start TCP/IP", "Info", MB_ICONSTOP | MB_OK);
        return false;
    }
    if (m_Sockets.GetLocalAddressCount() > 0) {
        OutputDebugStringA(
            FormatText("Using interface %s\n", m_Sockets.GetLocalAddress(0).c_str()).c_str());
    }
    m_pExchange->SetHostName(m_Sockets.GetLocalHostName());
    return true;
}

BOOL CTarnlowClientDlg::PreTranslateMessage(MSG* pMsg)
{
    return SwallowEnterAndEscape(pMsg) || CDialog::PreTranslateMessage(pMsg);
}

void CTarnlowClientDlg::OnClose()
{
    if (!m_bClosed) {
        m_bClosed = true;
        // An exchange waiting on a silent server is woken, and ends before Winsock stops.
        if (m_pExchange)
            m_pExchange->Interrupt();
        if (m_Sockets.GetSocketsInit())
            m_Sockets.ShutdownSockets();
    }
    CDialog::OnClose();
}

CServerExchange::SServerAddress CTarnlowClientDlg::ServerAddress() const
{
    return {m_pCommsPage->GetServerIPAddress(), m_pCommsPage->GetServerPort()};
}

void CTarnlowClientDlg::ShowConnectionList(const std::string& strReply)
{
    m_pConnectionsPage->SendCall(
        [this, strReply] { m_pConnectionsPage->PopulateConnectionList(strReply); });
}

void CTarnlowClientDlg::OnBnClickedConnect()
{
    m_pExchange->Connect(ServerAddress());
}

void CTarnlowClientDlg::RequestSharingChange(std::string (*pBuildCommand)(int nIndex))
{
    const CListCtrl& list = m_pConnectionsPage->m_ConnectionList;
    const int nIndex = list.GetSelectionMark();
    // A refresh while the menu was open may have left no row selected: no index to send then.
    if (nIndex < 0 || nIndex >= list.GetItemCount()) {
        OutputDebugStringA(
            "CTarnlowClientDlg::RequestSharingChange(): No connection is selected, nothing sent\n");
        return;
    }
    m_pExchange->ChangeSharing(ServerAddress(), pBuildCommand(nIndex));
}

void CTarnlowClientDlg::OnShareThisConnection()
{
    RequestSharingChange(ControlProtocol::ShareCommand);
}

void CTarnlowClientDlg::OnDisableThisShare()
{
    RequestSharingChange(ControlProtocol::UnshareCommand);
}
