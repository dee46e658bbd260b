// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowServerDlg.h"

#include "Administrator.h"
#include "MainWindow.h"
#include "MessageBox.h"
#include "ServerResources.h"
#include "server/resource.h"

CTarnlowServerDlg::CTarnlowServerDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_tabCtrl(new CConnections, new CComms, new CLog(kServerLogVariant)),
      m_hIcon(CResources::Current().LoadIcon(IDR_MAINFRAME))
{
}

CTarnlowServerDlg::~CTarnlowServerDlg()
{
    // A window that ends without WM_CLOSE (the session ending, say) still stops its listener
    // before the pages it uses go away.
    if (IsWindow())
        CleanClose();
    if (m_pServerThread != nullptr)
        CloseHandle(m_pServerThread);
    if (m_hStopEvent != nullptr)
        CloseHandle(m_hStopEvent);
    if (m_hAdviceEvent != nullptr)
        CloseHandle(m_hAdviceEvent);
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
    if (!InitialiseServer()) {
        m_bStartFailed = true;
        SendMessage(WM_CLOSE);
    }
    return TRUE;
}

bool CTarnlowServerDlg::InitialiseCOM()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_bCOMInitialised = hr == S_OK || hr == S_FALSE;
    if (!m_bCOMInitialised) {
        MessageBox(this, "Failed to initialise COM!", "Fatal error", MB_OK);
        return false;
    }
    const HRESULT hrSecurity =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // Security is set once per process: whoever set it first, COM works on with theirs.
    if (hrSecurity == RPC_E_TOO_LATE) {
        OutputDebugStringA("CTarnlowServerDlg::InitialiseCOM(): CoInitializeSecurity: "
                           "RPC_E_TOO_LATE, the process's security is set already\n");
    } else if (hrSecurity != S_OK) {
        MessageBox(this, "Failed to set security on COM!", "Fatal error", MB_OK);
        return false;
    }
    return true;
}

bool CTarnlowServerDlg::InitialiseServer()
{
    // The program initialises COM before its window exists; a window made otherwise does it now.
    if (!m_bCOMInitialised && !InitialiseCOM())
        return false;
    MainWindow::CreatePages<CTarnlowServerDlg, CConnections, CComms>(*this);
    m_pConnectionsPage->m_pMainDlg = this;
    m_pLogPage->AddEntry("Program started");
    if (!RunsAsAdministrator())
        m_pLogPage->AddEntry("The server does not run as an administrator, so it cannot change "
                             "sharing",
                             CLog::EPriority::Warning);
    m_pConnectionsPage->PopulateConnectionList();
    m_pLogPage->AddEntry("TCP/IP: Starting");
    if (!m_Sockets.StartSockets()) {
        m_pLogPage->AddEntry("TCP/IP: Failed", CLog::EPriority::Warning);
        return false;
    }
    m_strHostName = m_Sockets.GetLocalHostName();
    // Each server has a stop event of its own, so that closing one never stops another.
    m_hStopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hAdviceEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_pLogPage->AddEntry("TCP/IP: Started");
    // With no interface at all the listener takes any address, and the label keeps "none". From
    // now on only the listener reads the interface list.
    if (m_Sockets.GetLocalAddressCount() > 0)
        m_strListenAddress = m_Sockets.GetLocalAddress(0);
    const std::string strAddress = m_strListenAddress;
    if (!StartServerThread()) {
        m_pLogPage->AddEntry("Failed to start listening for clients", CLog::EPriority::Warning);
        return false;
    }
    m_pLogPage->AddEntry("Listening for clients");
    if (!strAddress.empty())
        m_pConnectionsPage->SetIPAddress(strAddress);
    // Another firewall of the machine may keep the LAN's clients away from the port; the service
    // checks again after each sharing. What it does of its own accord wakes the listener.
    {
        std::lock_guard lock(m_pConnectionsPage->NetConnectionMutex());
        m_pConnectionsPage->m_NetConnection.SetClientPort(m_pCommsPage->GetReceivePort());
        m_pConnectionsPage->m_NetConnection.SetAdviceEvent(m_hAdviceEvent);
    }
    LogSharingWarnings();
    return true;
}

void CTarnlowServerDlg::CleanClose()
{
    // A second close request finds everything stopped already.
    if (m_bClosing)
        return;
    m_bClosing = true;
    OutputDebugStringA("CTarnlowServerDlg::CleanClose()\n");
    StopServerThread();
    // The listener may be waiting for this thread (a log entry, a refresh): keep serving it.
    if (m_pServerThread != nullptr)
        WaitForSingleObjectPumping(m_pServerThread, kListenerStopWaitMs);
    if (m_Sockets.GetSocketsInit())
        m_Sockets.ShutdownSockets();
    // The service's objects go while COM is still there to take them back.
    if (m_pConnectionsPage != nullptr) {
        std::lock_guard lock(m_pConnectionsPage->NetConnectionMutex());
        m_pConnectionsPage->m_NetConnection.ReleaseService();
    }
    if (m_bCOMInitialised)
        CoUninitialize();
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
