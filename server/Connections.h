// SPDX-License-Identifier: GPL-3.0-or-later
// CConnections: the server's Connections page, a front of the server's host. It lists the
// machine's connections (name, type, status, shared) as the host's last refresh read them, offers
// Refresh, which asks the host, and shows the server's IP address.
#pragma once

#include "ConnectionsPage.h"
#include "server/ServerFront.h"

#include <string>
#include <vector>

class CServerHost;

class CConnections : public CConnectionsPage, public IServerFront
{
public:
    explicit CConnections(CServerHost& host);

    // From any thread: on the window's thread at once, from another posted to it, so that the
    // listener never waits for the window.
    void ShowConnections(const std::vector<SConnectionRow>& rows) override;
    void ShowNoDialupNotice() override;
    void ShowAddress(const std::string& strShown) override;

    void PopulateConnectionList(const std::vector<SConnectionRow>& rows);
    void AddConnectionToList(const std::string& strName, int nMediaType, int nStatus, bool bShared);
    static std::string GetMediaTypeString(int nMediaType);
    static std::string GetStatusString(int nStatus);
    void SetIPAddress(const std::string& strAddress);
    void OnBnClickedRefresh();

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RaiseNoDialupNotice();

    CServerHost& m_Host;
    bool m_bNoticeOpen = false;
};
