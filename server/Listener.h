// SPDX-License-Identifier: GPL-3.0-or-later
// CListener: the server's listener. On a thread of its own it waits for a client, the stop event,
// a change of the machine's addresses or interfaces, a word of the sharing service or a timer of
// its followers; it serves one client at a time (CClientSession) on its socket
// (CListeningSocket), follows the LAN's address (CAddressFollower) and the machine's connections
// (CConnectionsFollower). The host starts and stops it, and shows what it reports. Its failures
// end its thread, never the process.
#pragma once

#include "AddressFollower.h"
#include "ClientSession.h"
#include "Clock.h"
#include "ConnectionsFollower.h"
#include "ListeningSocket.h"
#include "LogSink.h"
#include "Sockets.h"
#include "server/RequestHandler.h"

#include <atomic>
#include <functional>
#include <string>

class CListener
{
public:
    // What the listener reports, from its own thread.
    struct SReports {
        // It listens at a new address, as the IP Address label shows it.
        std::function<void(const std::string& strShown)> Moved;
        // The connections' sharing may have changed: a share or unshare was answered, or the
        // service kept a sharing of its own accord.
        std::function<void()> SharingChanged;
        // It ended on an error, for good, while it was meant to run.
        std::function<void()> Ended;
        // A connection appeared or vanished: the list is to be refreshed, with no one to ask.
        std::function<void()> ConnectionsChanged;
    };

    // The socket wrapper is the host's, which starts and stops Winsock; the listening socket is
    // its socket. A listener that gives up leaves an address it cannot bind within a minute.
    CListener(CSockets& sockets, CRequestHandler& handler, ILogSink& log, CClock& clock,
              SReports reports, bool bGiveUp,
              CConnectionsFollower::SNotifications notifications =
                  CConnectionsFollower::SNotifications::System());
    ~CListener();
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    // Makes the stop event and starts the thread, to listen at the port and address given (an
    // empty address is any); false when the thread cannot be made.
    bool Start(int nPort, const std::string& strAddress);
    // Clears the run flag, then signals the stop event.
    void Stop();
    // The thread, for the host's wait at its close; null before Start.
    HANDLE Thread() const { return m_hThread; }
    // Set by the sharing service when it has something to say of its own accord.
    HANDLE AdviceEvent() const { return m_hAdviceEvent; }

private:
    static DWORD ThreadProc(LPVOID pParam);
    void ServerThread();
    void Listen(bool& bWaited);
    void RunListenerCycle(bool& bWaited);
    // Waits for a client, the stop event or the follower; the address changes that leave entry 0
    // as it was are followed without a word, and what the sharing service says of its own accord
    // is logged as it comes.
    DWORD WaitForListenerEvent(WSAEVENT hEvent);
    void ServeClient(WSAEVENT hEvent);
    bool IsDue(const std::optional<CClock::SteadyTime>& deadline) const;
    // The log says that the server no longer listens, whether it never started or stopped.
    void End(const std::string& strTrace, bool bWaited);

    CSockets& m_Sockets;
    CRequestHandler& m_Handler;
    ILogSink& m_Log;
    CClock& m_Clock;
    const SReports m_Reports;
    HANDLE m_hThread = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hAdviceEvent = nullptr;
    std::atomic<bool> m_bRunning{false};
    // The thread's.
    std::string m_strStartAddress;
    CListeningSocket m_Socket;
    CAddressFollower m_Follower;
    CConnectionsFollower m_Connections;
    CClientSession m_Session;
    bool m_bClientKeptAway = false;
};
