// SPDX-License-Identifier: GPL-3.0-or-later
// The windowed server in this process (its host and its window) over an in-memory sharing service
// of as many connections as asked, for benchmarks of the work behind its requests. Run inside a
// loopback-only network namespace: the host's listener starts on port 10000.
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
        CServerHost::SOptions options;
        options.WaitForThread = WaitForSingleObjectPumping;
        m_pHost = std::make_unique<CServerHost>(std::move(options));
        m_pDlg = std::make_unique<CTarnlowServerDlg>(*m_pHost);
        m_pDlg->Create(CTarnlowServerDlg::IDD);
        QCoreApplication::processEvents();
    }

    ~CServerWindowFixture()
    {
        m_pDlg->SendMessage(WM_CLOSE);
        m_pDlg.reset();
        m_pHost.reset();
        m_pRegistration.reset();
        CoUninitialize();
        CResources::SetCurrent(nullptr);
    }

    CServerWindowFixture(const CServerWindowFixture&) = delete;
    CServerWindowFixture& operator=(const CServerWindowFixture&) = delete;

    CServerHost& Host() { return *m_pHost; }
    CTarnlowServerDlg& Dlg() { return *m_pDlg; }

private:
    std::shared_ptr<CMemorySharingService> m_pService;
    std::unique_ptr<CRegisteredService> m_pRegistration;
    std::unique_ptr<CServerHost> m_pHost;
    std::unique_ptr<CTarnlowServerDlg> m_pDlg;
};
