// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowServerDlg.h"

#include "MessageBox.h"
#include "ServerResources.h"

CTarnlowServerDlg::CTarnlowServerDlg(CServerHost& host, CWnd* pParent)
    : CMainDialog(new CConnections(host), new CComms(host.Settings().Port()), kServerLogVariant,
                  pParent),
      m_Host(host)
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

BOOL CTarnlowServerDlg::OnInitDialog()
{
    CMainDialog::OnInitDialog();
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
    CreatePages();
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

void CTarnlowServerDlg::OnClose()
{
    CleanClose();
    CDialog::OnClose();
}
