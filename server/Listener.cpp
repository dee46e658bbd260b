// SPDX-License-Identifier: GPL-3.0-or-later
// The listener's thread keeps the traces of the window's listener thread that it was first, word
// for word: "CTarnlowServerDlg::ServerThread()".
#include "Listener.h"

#include "Format.h"
#include "ListenerFailure.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace
{

constexpr long kListenerEvents = FD_READ | FD_ACCEPT | FD_CONNECT;
constexpr DWORD kAdvised = WAIT_OBJECT_0 + 2;
// The listening socket was bound anew or made anew: not an event of the system's.
constexpr DWORD kReselect = 0xFFFFFFFE;

DWORD Add(std::vector<HANDLE>& handles, HANDLE hHandle)
{
    handles.push_back(hHandle);
    return static_cast<DWORD>(handles.size() - 1);
}

std::optional<CClock::SteadyTime> Earliest(const std::optional<CClock::SteadyTime>& first,
                                           const std::optional<CClock::SteadyTime>& second)
{
    if (!first || !second)
        return first ? first : second;
    return std::min(*first, *second);
}

// A cycle's network event object, closed when the cycle ends, however it ends.
class CNetworkEvent
{
public:
    CNetworkEvent() : m_hEvent(Winsock::WSACreateEvent()) {}
    ~CNetworkEvent()
    {
        if (m_hEvent != WSA_INVALID_EVENT)
            Winsock::WSACloseEvent(m_hEvent);
    }
    CNetworkEvent(const CNetworkEvent&) = delete;
    CNetworkEvent& operator=(const CNetworkEvent&) = delete;

    WSAEVENT Get() const { return m_hEvent; }

private:
    WSAEVENT m_hEvent;
};

} // namespace

CListener::CListener(CSockets& sockets, CRequestHandler& handler, ILogSink& log, CClock& clock,
                     SReports reports, bool bGiveUp,
                     CConnectionsFollower::SNotifications notifications)
    : m_Sockets(sockets), m_Handler(handler), m_Log(log), m_Clock(clock),
      m_Reports(std::move(reports)), m_Socket(sockets),
      m_Follower(sockets, m_Socket, log, clock, bGiveUp, m_Reports.Moved),
      m_Connections(handler.Connections(), log, clock, std::move(notifications),
                    m_Reports.ConnectionsChanged),
      m_Session(sockets, handler, log, clock)
{
}

CListener::~CListener()
{
    for (const HANDLE hHandle : {m_hThread, m_hStopEvent, m_hAdviceEvent}) {
        if (hHandle != nullptr)
            CloseHandle(hHandle);
    }
}

bool CListener::Start(int nPort, const std::string& strAddress)
{
    m_Socket.SetPort(nPort);
    m_strStartAddress = strAddress;
    // Each server has a stop event of its own, so that closing one never stops another.
    m_hStopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hAdviceEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_bRunning = true;
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (m_hThread == nullptr)
        m_bRunning = false;
    return m_bRunning;
}

void CListener::Stop()
{
    m_bRunning = false;
    if (m_hStopEvent != nullptr)
        SetEvent(m_hStopEvent);
}

DWORD CListener::ThreadProc(LPVOID pParam)
{
    static_cast<CListener*>(pParam)->ServerThread();
    return 0;
}

void CListener::ServerThread()
{
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Start\n");
    // The sharing service's objects are used from here too: this thread joins their apartment.
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool bWaited = false;
    try {
        Listen(bWaited);
    } catch (const CListenerFailure& failure) {
        End(failure.Trace(), bWaited);
    } catch (const std::exception& error) {
        End(FormatText("CTarnlowServerDlg::ServerThread(): %s\n", error.what()), bWaited);
    }
    m_Follower.Disarm();
    m_Connections.Stop();
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Finish\n");
}

void CListener::End(const std::string& strTrace, bool bWaited)
{
    m_Socket.Close();
    OutputDebugStringA((strTrace + "Server Thread is exiting\n").c_str());
    m_Log.AddEntry(bWaited ? "Stopped listening for clients"
                           : "Failed to start listening for clients",
                   ILogSink::EPriority::Warning);
    if (m_bRunning)
        m_Reports.Ended();
}

void CListener::Listen(bool& bWaited)
{
    // Asked for before the socket is bound, so that no change of address goes unseen.
    m_Follower.Arm();
    std::string strError;
    if (!m_Socket.Open(m_strStartAddress, strError))
        throw CListenerFailure(strError);
    // An address that came while the server started is followed at once.
    m_Follower.Follow();
    m_Connections.Start();
    while (m_bRunning)
        RunListenerCycle(bWaited);
}

void CListener::RunListenerCycle(bool& bWaited)
{
    const CNetworkEvent event;
    if (event.Get() == WSA_INVALID_EVENT)
        throw CListenerFailure::OfCall("WSACreateEvent()");
    if (!m_Sockets.SocketWSAEventSelect(event.Get(), kListenerEvents))
        throw CListenerFailure::OfCall("WSAEventSelect()");
    // A client kept away leaves no trace of its own in the log, so the wait goes on unsaid.
    if (!std::exchange(m_bClientKeptAway, false))
        m_Log.AddEntry("Waiting for a socket event");
    bWaited = true;
    const DWORD dwResult = WaitForListenerEvent(event.Get());
    // The event belonged to the socket that was closed: the next cycle selects anew.
    if (dwResult == kReselect)
        return;
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Event\n");
    if (dwResult == WAIT_OBJECT_0) {
        ServeClient(event.Get());
        return;
    }
    if (dwResult == WAIT_OBJECT_0 + 1) {
        m_Socket.Close();
        OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Heeding request to stop "
                           "server... Server thread is exiting\n");
        return;
    }
    m_Log.AddEntry("Unhandled socket event", ILogSink::EPriority::Warning);
    throw CListenerFailure(FormatText("CTarnlowServerDlg::ServerThread(): Unexpected return code "
                                      "from WaitForMultipleObjects() :%d : error : %d...\n",
                                      static_cast<int>(dwResult),
                                      static_cast<int>(GetLastError())));
}

DWORD CListener::WaitForListenerEvent(WSAEVENT hEvent)
{
    for (;;) {
        std::vector<HANDLE> handles = {hEvent, m_hStopEvent, m_hAdviceEvent};
        const DWORD dwAddressChanged =
            m_Follower.IsArmed() ? WAIT_OBJECT_0 + Add(handles, m_Follower.Event()) : WAIT_FAILED;
        const DWORD dwConnectionsChanged = m_Connections.IsStarted()
                                               ? WAIT_OBJECT_0 + Add(handles, m_Connections.Event())
                                               : WAIT_FAILED;
        const std::optional<CClock::SteadyTime> retryAt = m_Follower.RetryAt();
        const std::optional<CClock::SteadyTime> connectionsDue = m_Connections.Deadline();
        const DWORD dwResult = m_Clock.WaitUntil(static_cast<DWORD>(handles.size()), handles.data(),
                                                 Earliest(retryAt, connectionsDue));
        if (dwResult == kAdvised) {
            // The service kept, restored or followed a sharing: the list shows it at once, and
            // the shared connection's story goes on from it.
            m_Handler.LogSharingAdvice();
            m_Reports.SharingChanged();
            if (m_Connections.IsStarted())
                m_Connections.Follow();
            continue;
        }
        const bool bTimeout = dwResult == WAIT_TIMEOUT;
        if (dwResult == dwConnectionsChanged || (bTimeout && IsDue(connectionsDue))) {
            // The service may have followed its sharing, and says so first.
            m_Handler.LogSharingAdvice();
            m_Connections.Follow();
            continue;
        }
        if (dwResult != dwAddressChanged && !(bTimeout && IsDue(retryAt)))
            return dwResult;
        if (m_Follower.Follow() == CAddressFollower::EFollowed::Reselect)
            return kReselect;
    }
}

bool CListener::IsDue(const std::optional<CClock::SteadyTime>& deadline) const
{
    return deadline && m_Clock.SteadyNow() >= *deadline;
}

void CListener::ServeClient(WSAEVENT hEvent)
{
    m_bClientKeptAway = m_Session.Serve(hEvent) == CClientSession::EServed::KeptAway;
    // The list follows a change once the client has its reply, and the follower takes the
    // connection now shared, or none.
    if (m_Handler.TakeSharingChanged()) {
        m_Reports.SharingChanged();
        if (m_Connections.IsStarted())
            m_Connections.Track();
    }
}
