// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarnlowServerDlg.h"

#include "Administrator.h"
#include "MainWindow.h"
#include "MessageBox.h"
#include "ServerResources.h"
#include "UiApplication.h"
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
    m_pHandler = std::make_unique<CRequestHandler>(*m_pLogPage);
    m_pConnectionsPage->SetModel(m_pHandler->Connections(), *m_pLogPage);
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
    m_pHandler->SetHostName(m_Sockets.GetLocalHostName());
    m_pLogPage->AddEntry("TCP/IP: Started");
    // With no interface at all the listener takes any address, and the label keeps "none". From
    // now on only the listener reads the interface list.
    const std::string strAddress =
        m_Sockets.GetLocalAddressCount() > 0 ? m_Sockets.GetLocalAddress(0) : std::string();
    if (!StartServerThread(strAddress)) {
        m_pLogPage->AddEntry("Failed to start listening for clients", CLog::EPriority::Warning);
        return false;
    }
    m_pLogPage->AddEntry("Listening for clients");
    if (!strAddress.empty())
        m_pConnectionsPage->SetIPAddress(strAddress);
    // Another firewall of the machine may keep the LAN's clients away from the port; the service
    // checks again after each sharing. What it does of its own accord wakes the listener.
    m_pHandler->Connections().With([this](CMyNetConnection& manager) {
        manager.SetClientPort(m_pCommsPage->GetReceivePort());
        manager.SetAdviceEvent(m_pListener->AdviceEvent());
    });
    m_pHandler->LogSharingAdvice();
    return true;
}

bool CTarnlowServerDlg::StartServerThread(const std::string& strAddress)
{
    m_pListener = std::make_unique<CListener>(m_Sockets, *m_pHandler, *m_pLogPage,
                                              ListenerReports(), CUiApplication::IsHeadless());
    return m_pListener->Start(m_pCommsPage->GetReceivePort(), strAddress);
}

void CTarnlowServerDlg::StopServerThread()
{
    if (m_pListener)
        m_pListener->Stop();
}

CListener::SReports CTarnlowServerDlg::ListenerReports()
{
    CConnections* pPage = m_pConnectionsPage;
    return {[pPage](const std::string& strShown) {
                pPage->PostCall([pPage, strShown] { pPage->SetIPAddress(strShown); });
            },
            [pPage] { pPage->RefreshConnectionList(); },
            // With a window, the user sees the log and decides; without one, the server closes,
            // for its service manager.
            [this] {
                if (!CUiApplication::IsHeadless())
                    return;
                m_bStartFailed = true;
                PostMessage(WM_CLOSE);
            }};
}

void CTarnlowServerDlg::CleanClose()
{
    // A second close request finds everything stopped already.
    if (m_bClosing)
        return;
    m_bClosing = true;
    OutputDebugStringA("CTarnlowServerDlg::CleanClose()\n");
    if (m_pConnectionsPage != nullptr)
        m_pConnectionsPage->SetClosing();
    StopServerThread();
    // The listener may be waiting for this thread (a log entry, a refresh): keep serving it.
    if (m_pListener && m_pListener->Thread() != nullptr)
        WaitForSingleObjectPumping(m_pListener->Thread(), kListenerStopWaitMs);
    if (m_Sockets.GetSocketsInit())
        m_Sockets.ShutdownSockets();
    // The service's objects go while COM is still there to take them back.
    if (m_pHandler)
        m_pHandler->Connections().With([](CMyNetConnection& manager) { manager.ReleaseService(); });
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
