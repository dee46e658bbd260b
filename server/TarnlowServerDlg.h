// SPDX-License-Identifier: GPL-3.0-or-later
// CTarnlowServerDlg: Tarnlow Server's main window. It owns the tab control with the three pages,
// the socket wrapper (Winsock, the host name, the machine's addresses) and COM; it composes the
// request handler, which owns the connection sharing manager, and the listener, and shows what
// they report. Its initialisation starts the server in a fixed order and CleanClose stops it in
// reverse.
#pragma once

#include "Log.h"
#include "PageTabCtrl.h"
#include "Sockets.h"
#include "server/Comms.h"
#include "server/Connections.h"
#include "server/Listener.h"
#include "server/RequestHandler.h"

#include <atomic>
#include <memory>
#include <string>

class CTarnlowServerDlg : public CDialog
{
public:
    static constexpr UINT IDD = 102;
    static constexpr DWORD kListenerStopWaitMs = 10000;

    explicit CTarnlowServerDlg(CWnd* pParent = nullptr);
    ~CTarnlowServerDlg() override;

    bool InitialiseCOM();
    bool InitialiseServer();
    void CleanClose();
    bool IsClosing() const { return m_bClosing; }
    // The server closed itself because COM or the network could not be started, or, without a
    // screen, because it could not listen: its service manager should start it again.
    bool StartFailed() const { return m_bStartFailed; }

    // The listener, at the port of the Communications page and the address given.
    bool StartServerThread(const std::string& strAddress);
    void StopServerThread();

    CPageTabCtrl m_tabCtrl;
    CSockets m_Sockets;
    CConnections* m_pConnectionsPage = nullptr;
    CComms* m_pCommsPage = nullptr;
    CLog* m_pLogPage = nullptr;
    bool m_bCOMInitialised = false;
    std::atomic<bool> m_bStartFailed{false};
    HICON m_hIcon;
    // Made with the pages, whose Log page they write to; gone before the pages are.
    std::unique_ptr<CRequestHandler> m_pHandler;
    std::unique_ptr<CListener> m_pListener;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnClose() override;

private:
    // What the listener reports, shown on the window's thread.
    CListener::SReports ListenerReports();

    bool m_bClosing = false;
};
