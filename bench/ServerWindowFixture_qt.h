// SPDX-License-Identifier: GPL-3.0-or-later
// The server's window in this process over an in-memory sharing service of as many connections
// as asked, for benchmarks of the work behind its requests. Run inside a loopback-only network
// namespace: the window's listener starts on port 10000.
#pragma once

#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "ServerResources.h"
#include "TarnlowServerDlg.h"

#include <QCoreApplication>
#include <memory>
#include <string>

class CServerWindowFixture
{
public:
    explicit CServerWindowFixture(int nConnections)
    {
        CResources::SetCurrent(&ServerResources());
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        m_pService = CMemorySharingService::Create();
        for (int i = 0; i < nConnections; ++i) {
            CMemorySharingService::SConnection connection;
            connection.strName = L"Connection " + std::to_wstring(i);
            connection.MediaType = i == 0 ? NCM_PHONE : NCM_LAN;
            m_pService->AddConnection(connection);
        }
        m_pRegistration = std::make_unique<CRegisteredService>(m_pService);
        m_pDlg = std::make_unique<CTarnlowServerDlg>();
        m_pDlg->Create(CTarnlowServerDlg::IDD);
        QCoreApplication::processEvents();
    }

    ~CServerWindowFixture()
    {
        m_pDlg->SendMessage(WM_CLOSE);
        m_pDlg.reset();
        m_pRegistration.reset();
        CoUninitialize();
        CResources::SetCurrent(nullptr);
    }

    CServerWindowFixture(const CServerWindowFixture&) = delete;
    CServerWindowFixture& operator=(const CServerWindowFixture&) = delete;

    CTarnlowServerDlg& Dlg() { return *m_pDlg; }

private:
    std::shared_ptr<CMemorySharingService> m_pService;
    std::unique_ptr<CRegisteredService> m_pRegistration;
    std::unique_ptr<CTarnlowServerDlg> m_pDlg;
};
