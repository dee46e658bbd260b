// SPDX-License-Identifier: GPL-3.0-or-later
// CComms: the server's Communications page, with the receive port and the response time-out.
// The members follow every change of their edit boxes.
#pragma once

#include "Dialog.h"

#include <mutex>

class CTarnlowServerDlg;

class CComms : public CDialog
{
public:
    static constexpr UINT IDD = 130;
    static constexpr int kDefaultReceivePort = 10000;
    static constexpr int kDefaultResponseTimeoutMs = 500;

    CComms();

    // Callable from the listener thread.
    int GetReceivePort() const;
    void OnEnChangeReceivePort();
    void OnEnChangeResponseTimeout();

    CTarnlowServerDlg* m_pMainDlg = nullptr;
    int m_nReceivePort = kDefaultReceivePort;
    int m_nResponseTimeout = kDefaultResponseTimeoutMs;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

private:
    void ReadEditBoxes();

    mutable std::mutex m_Mutex;
};
