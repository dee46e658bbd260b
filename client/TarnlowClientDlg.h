// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowClientDlg: Tarnlow Client's main window. It holds the three pages and the Connect
// button and the socket wrapper; it asks its exchange with the server for what the user does, and
// shows what comes back.
#pragma once

#include "MainDialog.h"
#include "ServerExchange.h"
#include "Sockets.h"
#include "client/Comms.h"
#include "client/Connections.h"

#include <memory>
#include <string>

class CTarnlowClientDlg : public CMainDialog<CConnections, CComms>
{
public:
    explicit CTarnlowClientDlg(CWnd* pParent = nullptr);
    ~CTarnlowClientDlg() override;

    bool InitialiseClient();

    // The user's actions, on the window's thread: they read the settings and the selection now
    // and queue the exchanges.
    void OnBnClickedConnect();
    void OnShareThisConnection();
    void OnDisableThisShare();

    // The program's log: standard output, and the Log page once it is there.
    CLogFanOut m_Log;
    CSockets m_Sockets;
    // Made with the pages, once the Log page hears the log.
    std::unique_ptr<CServerExchange> m_pExchange;

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnClose() override;

private:
    CServerExchange::SServerAddress ServerAddress() const;
    void RequestSharingChange(std::string (*pBuildCommand)(int nIndex));
    void ShowConnectionList(const std::string& strReply);

    bool m_bClosed = false;
};
