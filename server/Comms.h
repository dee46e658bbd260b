// SPDX-License-Identifier: GPL-3.0-or-later
// CComms: the server's Communications page, with the receive port and the response time-out. The
// port follows every change of its edit box; the time-out is shown and can be edited, and nothing
// reads it.
#pragma once

#include "ControlProtocol.h"
#include "Dialog.h"

#include <mutex>

class CComms : public CDialog
{
public:
    static constexpr UINT IDD = 130;
    static constexpr int kDefaultReceivePort = ControlProtocol::kDefaultPort;
    static constexpr int kDefaultResponseTimeoutMs = 500;

    // The port that the settings give, else the protocol's.
    explicit CComms(int nReceivePort = kDefaultReceivePort);

    // Callable from the listener thread.
    int GetReceivePort() const;
    void OnEnChangeReceivePort();

    int m_nReceivePort;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

private:
    mutable std::mutex m_Mutex;
};
