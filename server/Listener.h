// SPDX-License-Identifier: GPL-3.0-or-later
// CListener: the server's listener, apart from its window. On a thread of its own it waits for a
// client, the stop event, a change of the machine's addresses or a word of the sharing service;
// it accepts one client at a time, reads its one request and hands it to the request handler,
// and follows the LAN's address. The window starts and stops it, and shows what it reports.
#pragma once

#include "AddressWatch.h"
#include "ClientRule.h"
#include "LogSink.h"
#include "Sockets.h"
#include "server/RequestHandler.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class CListener
{
public:
    static constexpr DWORD kRequestPauseMs = 50;
    // What closing a client's connection reads and drops at most, without waiting for more.
    static constexpr int kMaxDrainedBytes = 1024 * 1024;

    // What the listener reports, from its own thread.
    struct SReports {
        // It listens at a new address, as the IP Address label shows it.
        std::function<void(const std::string& strShown)> Moved;
        // The connections' sharing may have changed: a share or unshare was answered, or the
        // service kept a sharing of its own accord.
        std::function<void()> SharingChanged;
        // It ended on an error, for good, while it was meant to run.
        std::function<void()> Ended;
    };

    // The socket wrapper is the window's, which starts and stops Winsock; the listening socket is
    // its socket. A listener without a window gives up on an address it cannot bind.
    CListener(CSockets& sockets, CRequestHandler& handler, ILogSink& log, SReports reports,
              bool bHeadless);
    ~CListener();
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    // Makes the stop event and starts the thread, to listen at the port and address given (an
    // empty address is any); false when the thread cannot be made.
    bool Start(int nPort, const std::string& strAddress);
    // Clears the run flag, then signals the stop event.
    void Stop();
    // The thread, for the window's wait at its close; null before Start.
    HANDLE Thread() const { return m_hThread; }
    HANDLE StopEvent() const { return m_hStopEvent; }
    // Set by the sharing service when it has something to say of its own accord.
    HANDLE AdviceEvent() const { return m_hAdviceEvent; }

private:
    static DWORD ThreadProc(LPVOID pParam);
    void ServerThread();
    void OpenListeningSocket();
    void RunListenerCycle(SOCKET& hClient, bool& bWaited);
    // Waits for a client, the stop event or a new address; the address changes that leave
    // entry 0 as it was are followed without a word, and what the sharing service says of its own
    // accord is logged as it comes.
    DWORD WaitForListenerEvent(WSAEVENT hEvent);
    enum class EFollowed { Unchanged, Rebound, Deaf };
    // Binds the listener to entry 0 of the interface list when that changed.
    EFollowed FollowAddressChange();
    // Where the listener is once it tried a new address: there, at the old one on the same socket,
    // or at the old one on a socket made anew.
    enum class EListened { There, Kept, Reopened };
    EListened ListenAt(const std::string& strAddress);
    // Asks the system for the next change of address; a failure is logged once.
    void ArmAddressWatch();
    static std::string Shown(const std::string& strAddress);
    // Entry 0 of the interface list as the system gives it now; empty when there is none.
    std::string LocalAddressNow();
    void ServeClient(WSAEVENT hEvent, SOCKET& hClient);
    bool AcceptClient(WSAEVENT hEvent, SOCKET& hClient);
    // Closes a client beyond a dial-up connection at once, naming it in the log once a minute;
    // true when the client is answered.
    bool AdmitClient(SOCKET& hClient, const sockaddr_in& peer);
    void AnswerClient(SOCKET& hClient);
    void CloseClient(SOCKET& hClient);
    [[noreturn]] void FailListener(const std::string& strError, WSAEVENT hEvent);
    // The address at which the client reached this server; the family is not AF_INET when it
    // cannot be read.
    static sockaddr_in LocalAddressOf(SOCKET hClient);
    static std::string LocalAddressText(SOCKET hClient);

    CSockets& m_Sockets;
    CRequestHandler& m_Handler;
    ILogSink& m_Log;
    const SReports m_Reports;
    const bool m_bHeadless;
    int m_nPort = 0;
    HANDLE m_hThread = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hAdviceEvent = nullptr;
    std::atomic<bool> m_bRunning{false};
    // The thread's: the address its socket is bound to (empty: any), and the system's word when
    // that may have changed.
    std::string m_strListenAddress;
    CAddressWatch m_AddressWatch;
    bool m_bWatchFailureSaid = false;
    // An address that entry 0 moved to and the listener could not bind yet, since when, whether
    // the Log said so, and what the bind said.
    std::string m_strPendingAddress;
    std::chrono::steady_clock::time_point m_PendingSince;
    bool m_bPendingSaid = false;
    std::string m_strRebindError;
    CClientRule m_ClientRule;
    bool m_bClientKeptAway = false;
};
