// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowServerDlg: Tarnlow Server's main window. It owns the tab control with the three pages,
// the socket wrapper, COM for the sharing manager, the stop event and the listener thread; its
// initialisation starts the server in a fixed order and CleanClose stops it in reverse.
#pragma once

#include "AddressWatch.h"
#include "ClientRule.h"
#include "Log.h"
#include "PageTabCtrl.h"
#include "Sockets.h"
#include "server/Comms.h"
#include "server/Connections.h"

#include <atomic>
#include <chrono>
#include <string>

class CTarnlowServerDlg : public CDialog
{
public:
    static constexpr UINT IDD = 102;
    static constexpr DWORD kListenerStopWaitMs = 10000;
    static constexpr DWORD kRequestPauseMs = 50;
    // What closing a client's connection reads and drops at most, without waiting for more.
    static constexpr int kMaxDrainedBytes = 1024 * 1024;

    explicit CTarnlowServerDlg(CWnd* pParent = nullptr);
    ~CTarnlowServerDlg() override;

    bool InitialiseCOM();
    bool InitialiseServer();
    void CleanClose();
    bool IsClosing() const { return m_bClosing; }
    // The server closed itself because COM or the network could not be started, or, without a
    // screen, because it could not listen: its service manager should start it again.
    bool StartFailed() const { return m_bStartFailed; }

    // The listener thread.
    bool StartServerThread();
    void StopServerThread();
    static DWORD ServerThreadProc(LPVOID pParam);
    void ServerThread(CTarnlowServerDlg* pDlg);

    // Handles one client's request on the listener thread; false if and only if the reply could
    // not be sent.
    bool ProcessRequest(SOCKET hClient, const char* pBuffer, int nBytes);
    // The reply to a connection list request, read from the sharing manager under its lock.
    std::string ConnectionListReply();

    CPageTabCtrl m_tabCtrl;
    CSockets m_Sockets;
    CConnections* m_pConnectionsPage = nullptr;
    CComms* m_pCommsPage = nullptr;
    CLog* m_pLogPage = nullptr;
    bool m_bCOMInitialised = false;
    std::atomic<bool> m_bStartFailed{false};
    HANDLE m_pServerThread = nullptr;
    HICON m_hIcon;
    // The listener's: a sharing request was answered, and the Connections page is refreshed
    // once the client has gone.
    bool m_bRefreshAfterReply = false;
    HANDLE m_hStopEvent = nullptr;
    std::atomic<bool> m_bServerRunning{false};
    std::string m_strHostName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnClose() override;

private:
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
    // The listener ended for good: a server without a screen closes, for its service manager.
    void CloseIfHeadless();
    void ServeClient(WSAEVENT hEvent, SOCKET& hClient);
    bool AcceptClient(WSAEVENT hEvent, SOCKET& hClient);
    // Closes a client beyond a dial-up connection at once, naming it in the log once a minute;
    // true when the client is answered.
    bool AdmitClient(SOCKET& hClient, const sockaddr_in& peer);
    void AnswerClient(SOCKET& hClient);
    void CloseClient(SOCKET& hClient);
    [[noreturn]] void FailListener(const std::string& strError, WSAEVENT hEvent);
    bool SendReply(SOCKET hClient, const std::string& strReply);
    bool ReplyAndLog(SOCKET hClient, const std::string& strReply);
    bool ChangeSharing(SOCKET hClient, const std::string& strCommandPart, const char* pszLogFormat,
                       VARIANT_BOOL bShared);
    bool Acknowledge(SOCKET hClient, const char* pszLogFormat);
    // What the sharing service found in the way of the sharing or of the clients, for the log.
    void LogSharingWarnings();
    static sockaddr_in LocalAddressOf(SOCKET hClient);
    std::string ConnectionEntries();

    bool m_bClosing = false;
    // The listener's: the address its socket is bound to (empty: any), and the system's word
    // when that may have changed.
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
    // Set by the sharing service when it has something to say of its own accord.
    HANDLE m_hAdviceEvent = nullptr;
};
