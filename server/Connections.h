// SPDX-License-Identifier: GPL-3.0-or-later
// CConnections: the server's Connections page. It lists the machine's connections (name, type,
// status, shared), offers Refresh, shows the server's IP address, and owns the program's one
// connection sharing manager, which request handling reaches through it.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "MyNetConnection.h"

#include <mutex>
#include <string>

class CTarnlowServerDlg;

class CConnections : public CDialog
{
public:
    static constexpr UINT IDD = 129;

    CConnections();

    // On the window's thread: the caller waits while it runs there.
    void PopulateConnectionList();
    void RefreshConnectionList();
    void AddConnectionToList(const std::string& strName, int nMediaType, int nStatus, bool bShared);
    static std::string GetMediaTypeString(int nMediaType);
    static std::string GetStatusString(int nStatus);
    void SetIPAddress(const std::string& strAddress);
    void OnBnClickedRefresh();

    // The manager serves the window's thread and the listener: hold this lock while using it,
    // and make no call that waits for the window's thread meanwhile.
    std::mutex& NetConnectionMutex() { return m_NetConnectionMutex; }

    CTarnlowServerDlg* m_pMainDlg = nullptr;
    CMyNetConnection m_NetConnection;
    CListCtrl m_ConnectionList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Populate(bool bFromWindowThread);
    void ShowNoDialupNotice();

    std::mutex m_NetConnectionMutex;
    bool m_bNoticeOpen = false;
};
