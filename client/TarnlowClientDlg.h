// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowClientDlg: Tarnlow Client's main window. It holds the three pages and the Connect
// button, owns the socket wrapper, and runs the exchanges with the server on its worker thread.
#pragma once

#include "ExchangeWorker.h"
#include "Log.h"
#include "PageTabCtrl.h"
#include "Sockets.h"
#include "client/Comms.h"
#include "client/Connections.h"

#include <mutex>
#include <string>

class CTarnlowClientDlg : public CDialog
{
public:
    static constexpr UINT IDD = 102;

    // Where the server is, as the settings page said when the user acted.
    struct SServerAddress {
        std::string strAddress;
        int nPort;
    };

    explicit CTarnlowClientDlg(CWnd* pParent = nullptr);
    ~CTarnlowClientDlg() override;

    bool InitialiseClient();

    // The exchanges, run on the worker thread.
    bool ConnectTarnlowServer(const SServerAddress& server);
    bool DisconnectTarnlowServer();
    bool SendTarnlowServer(const std::string& strText);
    bool ReceiveTarnlowServer(std::string& strReply);
    bool SendLocalMessage(const std::string& strRequest);
    bool RequestTarnlowServer(const std::string& strRequest, const SServerAddress& server);

    // The user's actions, on the window's thread: they read the settings and the selection now
    // and queue the exchanges.
    void OnBnClickedConnect();
    void OnShareThisConnection();
    void OnDisableThisShare();

    CExchangeWorker& Worker() { return m_Worker; }

    CPageTabCtrl m_tabCtrl;
    CConnections* m_pConnectionsPage = nullptr;
    CComms* m_pCommsPage = nullptr;
    CLog* m_pLogPage = nullptr;
    CSockets m_Sockets;
    HICON m_hIcon;
    std::string m_strMessage;
    std::string m_strHostName;
    std::string m_strReply;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnClose() override;

private:
    SServerAddress ServerAddress() const;
    void RequestSharingChange(std::string (*pBuildCommand)(int nIndex));
    // Ends a failed exchange: logs the entry, unless the close interrupted it, and closes.
    bool FailExchange(const std::string& strEntry);
    bool ConnectSequence(const SServerAddress& server);

    // Guards the exchange's socket between the worker and a closing window.
    std::mutex m_SocketMutex;
    CExchangeWorker m_Worker;
    bool m_bClosed = false;
};
