// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowServerDlg: Tarnlow Server's main window, a view of the server's host. It holds the tab
// control with the three pages: the Log page hears the host's log, the Connections page shows the
// host's connections and address. Its initialisation starts the host at the Communications
// page's port, and its close (CleanClose) stops the host.
#pragma once

#include "Log.h"
#include "PageTabCtrl.h"
#include "server/Comms.h"
#include "server/Connections.h"
#include "server/ServerHost.h"

class CTarnlowServerDlg : public CDialog
{
public:
    static constexpr UINT IDD = 102;

    explicit CTarnlowServerDlg(CServerHost& host, CWnd* pParent = nullptr);
    ~CTarnlowServerDlg() override;

    bool InitialiseServer();
    void CleanClose();
    bool IsClosing() const { return m_Host.IsStopping(); }

    CServerHost& m_Host;
    CPageTabCtrl m_tabCtrl;
    CConnections* m_pConnectionsPage = nullptr;
    CComms* m_pCommsPage = nullptr;
    CLog* m_pLogPage = nullptr;
    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnClose() override;
};
