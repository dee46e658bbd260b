// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowClientDlg.h"

#include "ClientResources.h"
#include "Format.h"
#include "MainWindow.h"
#include "MessageBox.h"
#include "PageKeys.h"
#include "client/resource.h"

CTarnlowClientDlg::CTarnlowClientDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_tabCtrl(new CConnections, new CComms, new CLog(kClientLogVariant)),
      m_hIcon(CResources::Current().LoadIcon(IDR_MAINFRAME))
{
    MapCommand(IDC_CONNECT, BN_CLICKED, &CTarnlowClientDlg::OnBnClickedConnect);
    MapCommand(ID_SHARE_THIS_CONNECTION, 0, &CTarnlowClientDlg::OnShareThisConnection);
    MapCommand(ID_DISABLE_THIS_SHARE, 0, &CTarnlowClientDlg::OnDisableThisShare);
}

CTarnlowClientDlg::~CTarnlowClientDlg()
{
    m_Worker.Stop();
}

void CTarnlowClientDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TAB, m_tabCtrl);
}

BOOL CTarnlowClientDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    MainWindow::InitialiseFrame(*this, m_hIcon, IDM_ABOUTBOX, IDS_ABOUTBOX);
    if (!InitialiseClient()) {
        SendMessage(WM_CLOSE);
        return TRUE;
    }
    m_pLogPage->AddEntry("Initialsation successful");
    return TRUE;
}

bool CTarnlowClientDlg::InitialiseClient()
{
    MainWindow::CreatePages<CTarnlowClientDlg, CConnections, CComms>(*this);
    if (!m_Sockets.StartSockets()) {
        MessageBox(this, "Failed to start TCP/IP", "Info", MB_ICONSTOP | MB_OK);
        return false;
    }
    if (m_Sockets.GetLocalAddressCount() > 0) {
        m_strMessage = FormatText("Using interface %s\n", m_Sockets.GetLocalAddress(0).c_str());
        OutputDebugStringA(m_strMessage.c_str());
    }
    m_strHostName = m_Sockets.GetLocalHostName();
    return true;
}

BOOL CTarnlowClientDlg::PreTranslateMessage(MSG* pMsg)
{
    return SwallowEnterAndEscape(pMsg) || CDialog::PreTranslateMessage(pMsg);
}

void CTarnlowClientDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if (!MainWindow::ShowAboutBox(nID, IDM_ABOUTBOX))
        CDialog::OnSysCommand(nID, lParam);
}

void CTarnlowClientDlg::OnClose()
{
    if (!m_bClosed) {
        m_bClosed = true;
        // An exchange waiting on a silent server is woken, and ends before Winsock stops.
        {
            std::lock_guard lock(m_SocketMutex);
            m_Worker.RequestStop();
            if (m_Sockets.SocketIsOpen())
                m_Sockets.SocketShutdown();
        }
        m_Worker.Stop();
        if (m_Sockets.GetSocketsInit())
            m_Sockets.ShutdownSockets();
    }
    CDialog::OnClose();
}
