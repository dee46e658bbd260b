// SPDX-License-Identifier: GPL-3.0-or-later
// CServerHost: Tarnlow Server itself, apart from any window. It owns, in this order, COM, the
// sockets layer (Winsock, the host name, the machine's addresses), the request handler with the
// connection sharing manager, the listener with its address follower, the sharing service's
// advice and the stop; Start starts them in a fixed order and Stop stops them in reverse. Its log
// fans out to standard output (the journal under systemd) and to every view of it; its fronts
// show its connections and its address. The windowed server is the host with its main window as a
// view; the gateway's server is the host, its termination signals and a wait.
#pragma once

#include "Clock.h"
#include "LogFanOut.h"
#include "ServerFront.h"
#include "ServerSettings.h"
#include "Sockets.h"
#include "server/ClientRule.h"
#include "server/Listener.h"
#include "server/RequestHandler.h"
#include "server/page/PageServer.h"
#include "server/page/PageState.h"
#include "server/page/Pairing.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CServerHost
{
public:
    static constexpr DWORD kListenerStopWaitMs = 10000;
    static constexpr const char* kFatalErrorCaption = "Fatal error";
    static constexpr const char* kNoDialupCaption = "Information";
    static constexpr const char* kNoDialupText = "There are no Dial-up connections on this machine";

    struct SOptions {
        // No one sees a window: a listener that cannot listen ends the server, for its service
        // manager to start it again, and the server's address is also a line on standard output.
        // With a window, the user sees the log and decides.
        bool bHeadless = false;
        // The host's clock: its log's time, its timers and their waits.
        CClock* pClock = &CClock::System();
        // The host ended itself (headless, it could not listen): its owner closes it, from
        // whichever thread this is called on.
        std::function<void()> RequestClose;
        // What the machine's administrator set: none in a test unless it says so.
        CServerSettings Settings;
        // How the listener hears of the interfaces' changes: the system's, or a test's stand-in.
        CConnectionsFollower::SNotifications Notifications =
            CConnectionsFollower::SNotifications::System();
        // The page's bounds: a test's shorter deadlines.
        CPageServer::SLimits PageLimits;
        // Where the paired devices are kept (StateDirectory::Default() for the programs); none:
        // only until the server stops.
        std::string strStateDirectory;
        // Waits for the listener's thread at the close; a window's wait serves its thread
        // meanwhile.
        std::function<DWORD(HANDLE hThread, DWORD dwMilliseconds)> WaitForThread =
            [](HANDLE hThread, DWORD dwMilliseconds) {
                return WaitForSingleObject(hThread, dwMilliseconds);
            };
    };

    explicit CServerHost(SOptions options);
    // A host that was not stopped stops.
    ~CServerHost();
    CServerHost(const CServerHost&) = delete;
    CServerHost& operator=(const CServerHost&) = delete;

    // COM for the multithreaded apartment, with the process's security: before anything else of
    // the process can make COM choose it. False with the fatal error to show.
    bool InitialiseCOM(std::string& strFailure);
    bool IsCOMInitialised() const { return m_bCOMInitialised; }
    // Starts the server at the port: its entries, the connections, Winsock, the listener. False
    // when it cannot serve (the caller closes it).
    bool Start(int nPort);
    // Settings read again (the service's SIGHUP): their warnings are said, and a new port is
    // listened at as at the start. False when the server cannot listen there.
    bool Reload(const CServerSettings& settings);
    const CServerSettings& Settings() const { return m_Settings; }
    // Stops what Start started, in reverse, and uninitialises COM; a second call does nothing.
    void Stop();
    bool IsStopping() const { return m_bStopping; }
    // The server could not start, or gave up: its service manager should start it again.
    bool Failed() const { return m_bFailed; }

    // Enumerates the connections again and shows them to every front, from the thread that asks;
    // one that no one asked for raises no notice of no dial-up connection.
    void Refresh(bool bAutomatic = false);

    CLogFanOut& Log() { return m_Log; }
    CRequestHandler& Handler() { return m_Handler; }
    CSockets& Sockets() { return m_Sockets; }
    const CListener* Listener() const { return m_pListener.get(); }
    CPairing& Pairing() { return m_Pairing; }
    // The page's port while it is served; 0 when it is not.
    int PagePort();
    // A front hears what changes: it is added before the host starts and removed once it has
    // stopped, so that the listener reads the fronts while no one changes them.
    void AddFront(IServerFront& front) { m_Fronts.push_back(&front); }
    void RemoveFront(IServerFront& front) { std::erase(m_Fronts, &front); }

private:
    bool StartListener(int nPort, const std::string& strAddress);
    bool Listen(int nPort);
    // True once the listener's thread has ended, or where there is none.
    bool StopListener();
    void SayWarnings(const CServerSettings& settings);
    CListener::SReports ListenerReports();
    void ShowAddress(const std::string& strShown);
    // The page follows the listener's address (none: any), and the settings; it is not started
    // where it is not wanted.
    void FollowPage(const std::string& strShown);
    void MovePage(const CServerSettings& settings);
    void StartPageLocked();
    void StopPage();
    CPageServer::SHooks PageHooks();
    // The event that a change made by the page sets, for the listener to follow it; none while
    // no listener runs.
    void WakeOnPageChanges(HANDLE hEvent);

    const SOptions m_Options;
    CServerSettings m_Settings;
    int m_nPort = 0;
    bool m_bCOMInitialised = false;
    CLogFanOut m_Log;
    CSockets m_Sockets;
    CRequestHandler m_Handler;
    std::unique_ptr<CListener> m_pListener;
    CPageState m_PageState;
    CPairing m_Pairing;
    // Whom the page names as kept away; its change thread's alone.
    CClientRule m_PageRule;
    // The page is moved by the listener's thread and by a reload, one at a time; the settings
    // change under it too.
    std::mutex m_PageMutex;
    std::unique_ptr<CPageServer> m_pPage;
    std::string m_strPageAddress;
    // What the page's changes wake: the listener's, while there is one.
    std::mutex m_AdviceMutex;
    HANDLE m_hAdviceEvent = nullptr;
    std::atomic<bool> m_bFailed{false};
    std::atomic<bool> m_bStopping{false};
    std::vector<IServerFront*> m_Fronts;
};
