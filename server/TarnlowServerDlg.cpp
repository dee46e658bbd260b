// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowServerDlg.h"

#include "MainWindow.h"
#include "MessageBox.h"
#include "ServerResources.h"
#include "server/resource.h"

CTarnlowServerDlg::CTarnlowServerDlg(CServerHost& host, CWnd* pParent)
    : CDialog(IDD, pParent), m_Host(host),
      m_tabCtrl(new CConnections(host), new CComms, new CLog(kServerLogVariant)),
      m_hIcon(CResources::Current().LoadIcon(IDR_MAINFRAME))
{
}

CTarnlowServerDlg::~CTarnlowServerDlg()
{
    // A window that ends without WM_CLOSE (the session ending, say) still stops the host before
    // the pages it shows go away.
    if (IsWindow())
        CleanClose();
    if (m_pConnectionsPage != nullptr)
        m_Host.RemoveFront(*m_pConnectionsPage);
    if (m_pLogPage != nullptr)
        m_Host.Log().RemoveView(*m_pLogPage);
}

void CTarnlowServerDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TAB, m_tabCtrl);
}

BOOL CTarnlowServerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    MainWindow::InitialiseFrame(*this, m_hIcon, IDM_ABOUTBOX, IDS_ABOUTBOX);
    if (!InitialiseServer())
        SendMessage(WM_CLOSE);
    return TRUE;
}

bool CTarnlowServerDlg::InitialiseServer()
{
    // The program initialises COM before its window exists; a window made otherwise does it now.
    std::string strFailure;
    if (!m_Host.IsCOMInitialised() && !m_Host.InitialiseCOM(strFailure)) {
        MessageBox(this, strFailure, CServerHost::kFatalErrorCaption, MB_OK);
        return false;
    }
    MainWindow::CreatePages<CTarnlowServerDlg, CConnections, CComms>(*this);
    m_Host.Log().AddView(*m_pLogPage);
    m_Host.AddFront(*m_pConnectionsPage);
    return m_Host.Start(m_pCommsPage->GetReceivePort());
}

void CTarnlowServerDlg::CleanClose()
{
    m_Host.Stop();
}

BOOL CTarnlowServerDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_RETURN)
            return TRUE;
        if (pMsg->wParam == VK_ESCAPE) {
            ShowWindow(SW_MINIMIZE);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CTarnlowServerDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if (!MainWindow::ShowAboutBox(nID, IDM_ABOUTBOX))
        CDialog::OnSysCommand(nID, lParam);
}

void CTarnlowServerDlg::OnClose()
{
    CleanClose();
    CDialog::OnClose();
}
