// SPDX-License-Identifier: GPL-3.0-or-later
// CComms: the client's Communications page: the server's address and port, as typed. Every
// exchange reads them afresh.
#pragma once

#include "ControlProtocol.h"
#include "Dialog.h"

#include <string>

class CComms : public CDialog
{
public:
    static constexpr UINT IDD = 130;

    CComms();

    std::string GetServerIPAddress() const;
    // The port text read as atoi reads it.
    int GetServerPort() const;
    void OnEnChangeServerIPAddress();
    void OnEnChangeServerPort();

    std::string m_strServerIPAddress = "192.168.0.1";
    std::string m_strServerPort = std::to_string(ControlProtocol::kDefaultPort);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
};
