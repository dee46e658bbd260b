// SPDX-License-Identifier: GPL-3.0-or-later
// CConnections: the server's Connections page. It lists the machine's connections (name, type,
// status, shared) as the program's connection sharing manager finds them, offers Refresh, and
// shows the server's IP address.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "LogSink.h"
#include "server/SharedConnections.h"

#include <string>

class CConnections : public CDialog
{
public:
    static constexpr UINT IDD = 129;

    CConnections();

    // The manager whose connections the page shows, and the log that hears of each fill.
    void SetModel(CSharedConnections& connections, ILogSink& log);
    // A server that is closing tells no one of missing dial-up connections any more.
    void SetClosing() { m_bClosing = true; }
    // On the window's thread: the caller waits while it runs there.
    void PopulateConnectionList();
    void RefreshConnectionList();
    void AddConnectionToList(const std::string& strName, int nMediaType, int nStatus, bool bShared);
    static std::string GetMediaTypeString(int nMediaType);
    static std::string GetStatusString(int nStatus);
    void SetIPAddress(const std::string& strAddress);
    void OnBnClickedRefresh();

    CListCtrl m_ConnectionList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Populate(bool bFromWindowThread);
    void ShowNoDialupNotice();

    CSharedConnections* m_pConnections = nullptr;
    ILogSink* m_pLog = nullptr;
    bool m_bNoticeOpen = false;
    bool m_bClosing = false;
};
