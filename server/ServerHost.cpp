// SPDX-License-Identifier: GPL-3.0-or-later
// The host keeps the traces of the main window that it was first, word for word:
// "CTarnlowServerDlg::InitialiseCOM()", "CTarnlowServerDlg::CleanClose()".
#include "ServerHost.h"

#include "Administrator.h"
#include "Format.h"

#include <utility>

CServerHost::CServerHost(SOptions options)
    : m_Options(std::move(options)), m_Settings(m_Options.Settings), m_Log(*m_Options.pClock),
      m_Handler(m_Log), m_Pairing(m_Log, *m_Options.pClock, m_Options.strStateDirectory)
{
    m_Fronts.push_back(&m_PageState);
    m_Log.AddView(m_PageState);
    m_Pairing.SetDevicesShown(
        [this](const std::vector<SPairedDevice>& devices) { m_PageState.ShowDevices(devices); });
}

CServerHost::~CServerHost()
{
    Stop();
    m_Log.RemoveView(m_PageState);
}

bool CServerHost::InitialiseCOM(std::string& strFailure)
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_bCOMInitialised = hr == S_OK || hr == S_FALSE;
    if (!m_bCOMInitialised) {
        strFailure = "Failed to initialise COM!";
        m_bFailed = true;
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
        strFailure = "Failed to set security on COM!";
        m_bFailed = true;
        return false;
    }
    return true;
}

// What the start says comes before what the listener says meanwhile, as it always has.
bool CServerHost::Start(int nPort)
{
    const CLogFanOut::CStartHold hold(m_Log);
    m_Log.AddEntry("Program started");
    SayWarnings(m_Settings);
    m_Handler.SetClients(m_Settings.Clients());
    m_Pairing.Load();
    if (!RunsAsAdministrator())
        m_Log.AddEntry("The server does not run as an administrator, so it cannot change sharing",
                       ILogSink::EPriority::Warning);
    Refresh();
    m_Log.AddEntry("TCP/IP: Starting");
    if (!m_Sockets.StartSockets()) {
        m_Log.AddEntry("TCP/IP: Failed", ILogSink::EPriority::Warning);
        m_bFailed = true;
        return false;
    }
    m_Handler.SetHostName(m_Sockets.GetLocalHostName());
    m_PageState.SetHostName(m_Handler.HostName());
    m_Log.AddEntry("TCP/IP: Started");
    return Listen(nPort);
}

bool CServerHost::Reload(const CServerSettings& settings)
{
    SayWarnings(settings);
    m_Handler.SetClients(settings.Clients());
    MovePage(settings);
    if (settings.Port() == m_nPort)
        return true;
    m_Log.AddEntry("The server's port is now " + std::to_string(settings.Port()));
    // The service must not wake a listener that has gone; one that does not end in time is left
    // to the close, and the service manager starts the server again.
    m_Handler.Connections().With(
        [](CMyNetConnection& manager) { manager.SetAdviceEvent(nullptr); });
    WakeOnPageChanges(nullptr);
    if (StopListener() && Listen(settings.Port()))
        return true;
    m_bFailed = true;
    if (m_Options.RequestClose && m_Options.bHeadless)
        m_Options.RequestClose();
    return false;
}

bool CServerHost::StopListener()
{
    if (!m_pListener)
        return true;
    m_pListener->Stop();
    return m_pListener->Thread() == nullptr ||
           m_Options.WaitForThread(m_pListener->Thread(), kListenerStopWaitMs) == WAIT_OBJECT_0;
}

void CServerHost::SayWarnings(const CServerSettings& settings)
{
    for (const std::string& strWarning : settings.Warnings())
        m_Log.AddEntry(strWarning, ILogSink::EPriority::Warning);
}

bool CServerHost::Listen(int nPort)
{
    m_nPort = nPort;
    // With no interface at all the listener takes any address, and the label keeps "none". From
    // now on only the listener reads the interface list.
    const std::string strAddress =
        m_Sockets.GetLocalAddressCount() > 0 ? m_Sockets.GetLocalAddress(0) : std::string();
    if (!StartListener(nPort, strAddress)) {
        m_Log.AddEntry("Failed to start listening for clients", ILogSink::EPriority::Warning);
        m_bFailed = true;
        return false;
    }
    m_Log.AddEntry("Listening for clients");
    if (!strAddress.empty())
        ShowAddress(strAddress);
    // Another firewall of the machine may keep the LAN's clients away from the port; the service
    // checks again after each sharing. What it does of its own accord wakes the listener.
    m_Handler.Connections().With([this, nPort](CMyNetConnection& manager) {
        manager.SetClientPort(nPort);
        manager.SetAdviceEvent(m_pListener->AdviceEvent());
    });
    WakeOnPageChanges(m_pListener->AdviceEvent());
    m_Handler.LogSharingAdvice();
    return true;
}

bool CServerHost::StartListener(int nPort, const std::string& strAddress)
{
    m_pListener = std::make_unique<CListener>(m_Sockets, m_Handler, m_Log, *m_Options.pClock,
                                              ListenerReports(), m_Options.bHeadless,
                                              m_Options.Notifications);
    return m_pListener->Start(nPort, strAddress);
}

CListener::SReports CServerHost::ListenerReports()
{
    return {[this](const std::string& strShown) { ShowAddress(strShown); }, [this] { Refresh(); },
            [this] {
                if (!m_Options.bHeadless)
                    return;
                m_bFailed = true;
                if (m_Options.RequestClose)
                    m_Options.RequestClose();
            },
            [this] { Refresh(true); }};
}

void CServerHost::ShowAddress(const std::string& strShown)
{
    for (IServerFront* pFront : m_Fronts)
        pFront->ShowAddress(strShown);
    // Without a screen no one sees the label: it is said on standard output instead.
    if (m_Options.bHeadless)
        m_Log.WriteLine(ILogSink::EPriority::Info, "IP Address: " + strShown);
    FollowPage(strShown);
}

void CServerHost::FollowPage(const std::string& strShown)
{
    const std::lock_guard lock(m_PageMutex);
    if (m_pPage && strShown == m_strPageAddress)
        return;
    m_strPageAddress = strShown;
    StartPageLocked();
}

// The settings change under the page's lock, which the listener's thread takes to read them.
void CServerHost::MovePage(const CServerSettings& settings)
{
    const std::lock_guard lock(m_PageMutex);
    const bool bPageChanged =
        settings.PageOn() != m_Settings.PageOn() || settings.PagePort() != m_Settings.PagePort();
    m_Settings = settings;
    if (!bPageChanged)
        return;
    m_pPage.reset();
    if (!m_Settings.PageOn())
        m_Log.AddEntry("The server's page is off");
    else if (!m_strPageAddress.empty())
        StartPageLocked();
}

void CServerHost::StartPageLocked()
{
    m_pPage.reset();
    if (!m_Settings.PageOn() || m_bStopping)
        return;
    m_pPage =
        std::make_unique<CPageServer>(m_PageState, m_Pairing, PageHooks(), m_Options.PageLimits);
    const std::string strAddress = m_strPageAddress == "none" ? std::string() : m_strPageAddress;
    const int nPort = m_Settings.PagePort();
    std::string strError;
    if (!m_pPage->Start(strAddress, nPort, strError)) {
        m_pPage.reset();
        m_Log.AddEntry(FormatText("The server's page cannot be served at port %d: %s", nPort,
                                  strError.c_str()),
                       ILogSink::EPriority::Warning);
        return;
    }
    const std::string strShownHost = strAddress.empty() ? m_Handler.HostName() : strAddress;
    m_Log.AddEntry(
        FormatText("The server's page is at http://%s:%d/", strShownHost.c_str(), m_pPage->Port()));
}

void CServerHost::StopPage()
{
    const std::lock_guard lock(m_PageMutex);
    m_pPage.reset();
}

int CServerHost::PagePort()
{
    const std::lock_guard lock(m_PageMutex);
    return m_pPage ? m_pPage->Port() : 0;
}

void CServerHost::WakeOnPageChanges(HANDLE hEvent)
{
    const std::lock_guard lock(m_AdviceMutex);
    m_hAdviceEvent = hEvent;
}

// The page's requests take the protocol's ways: the client rule at its accept, the request
// handler and its lock for a change, and the listener's wake to follow the change.
CPageServer::SHooks CServerHost::PageHooks()
{
    CPageServer::SHooks hooks;
    hooks.ChangeThread = [](bool bBegins) {
        if (bBegins)
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        else
            CoUninitialize();
    };
    hooks.Admit = [this](const std::string& strLocal, const std::string& strDevice) {
        sockaddr_in local{};
        sockaddr_in device{};
        local.sin_family = device.sin_family = AF_INET;
        local.sin_addr.s_addr = Winsock::inet_addr(strLocal.c_str());
        device.sin_addr.s_addr = Winsock::inet_addr(strDevice.c_str());
        // Not IPv4: no route of ours to ask.
        return local.sin_addr.s_addr == INADDR_NONE || device.sin_addr.s_addr == INADDR_NONE ||
               m_PageRule.Admits(local, device, m_Handler.Connections(), m_Log,
                                 m_Options.pClock->SteadyNow());
    };
    hooks.Change = [this](const std::string& strId, bool bShare,
                          const CRequestHandler::SPageDevice& device, const std::string& strLocal) {
        const CRequestHandler::SPageOutcome outcome =
            m_Handler.ChangeSharingForPage(strId, bShare, device, strLocal);
        const std::lock_guard lock(m_AdviceMutex);
        if (m_hAdviceEvent)
            SetEvent(m_hAdviceEvent);
        return outcome;
    };
    return hooks;
}

// The rows are read under the manager's lock and shown after it.
void CServerHost::Refresh(bool bAutomatic)
{
    std::vector<SConnectionRow> rows;
    const int nDialupConnections = m_Handler.Connections().With([&](CMyNetConnection& manager) {
        manager.QueryConnections();
        for (int i = 0; manager.DialupConnectionCount() != 0 && i < manager.ConnectionCount();
             ++i) {
            // The service is asked in the columns' order of the protocol: name, status, type.
            SConnectionRow row;
            row.strName = manager.GetName(i);
            row.nStatus = manager.GetStatus(i);
            row.nMediaType = manager.GetMediaType(i);
            row.bShared = manager.IsShared(i) != VARIANT_FALSE;
            row.strGuid = manager.GetGuid(i);
            row.bDialup = row.nMediaType == NCM_PHONE;
            rows.push_back(std::move(row));
        }
        return manager.DialupConnectionCount();
    });
    for (IServerFront* pFront : m_Fronts)
        pFront->ShowConnections(rows);
    if (nDialupConnections == 0) {
        // A server that is closing has no one left to tell.
        if (!m_bStopping && !bAutomatic) {
            for (IServerFront* pFront : m_Fronts)
                pFront->ShowNoDialupNotice();
        }
        return;
    }
    m_Log.AddEntry("Populated connection list");
}

void CServerHost::Stop()
{
    // A second close request finds everything stopped already.
    if (m_bStopping.exchange(true))
        return;
    OutputDebugStringA("CTarnlowServerDlg::CleanClose()\n");
    StopPage();
    WakeOnPageChanges(nullptr);
    StopListener();
    if (m_Sockets.GetSocketsInit())
        m_Sockets.ShutdownSockets();
    // The service's objects go while COM is still there to take them back.
    m_Handler.Connections().With([](CMyNetConnection& manager) { manager.ReleaseService(); });
    if (m_bCOMInitialised)
        CoUninitialize();
}
