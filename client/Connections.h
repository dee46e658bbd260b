// SPDX-License-Identifier: GPL-3.0-or-later
// CConnections: the client's Connections page. It shows the server's connections as the last
// connection list reply gave them, and offers sharing or unsharing the selected one through a
// context menu whose commands go to the main window.
#pragma once

#include "ConnectionsPage.h"

#include <string>

class CConnections : public CConnectionsPage
{
public:
    static constexpr int kKeyboardMenuOffset = 5; // pixels right and down of the page's corner

    CConnections();

    void PopulateConnectionList(std::string strReply);
    void AddConnectionToList(std::string strName, std::string strStatus, std::string strType,
                             std::string strShared);

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnContextMenu(CWnd* pWnd, POINT point) override;
};
