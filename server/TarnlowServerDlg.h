// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowServerDlg: Tarnlow Server's main window, a view of the server's host: the Log page hears
// the host's log, the Connections page shows the host's connections and address. Its
// initialisation starts the host at the Communications page's port, and its close (CleanClose)
// stops the host.
#pragma once

#include "MainDialog.h"
#include "server/Comms.h"
#include "server/Connections.h"
#include "server/ServerHost.h"

class CTarnlowServerDlg : public CMainDialog<CConnections, CComms>
{
public:
    explicit CTarnlowServerDlg(CServerHost& host, CWnd* pParent = nullptr);
    ~CTarnlowServerDlg() override;

    bool InitialiseServer();
    void CleanClose();
    bool IsClosing() const { return m_Host.IsStopping(); }

    CServerHost& m_Host;

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnClose() override;
};
