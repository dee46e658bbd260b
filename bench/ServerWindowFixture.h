// SPDX-License-Identifier: GPL-3.0-or-later
// The server's window in this process over an in-memory sharing service of as many connections
// as asked, for benchmarks of the work behind its requests. Run inside a loopback-only network
// namespace: the window's listener starts on port 10000.
#pragma once

#include "MemorySharingService.h"
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
        IUnknown* pFactory = nullptr;
        m_pService->GetClassObject(IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
        CoRegisterClassObject(CLSID_NetSharingManager, pFactory, CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &m_dwCookie);
        pFactory->Release();
        m_pDlg = std::make_unique<CTarnlowServerDlg>();
        m_pDlg->Create(CTarnlowServerDlg::IDD);
        QCoreApplication::processEvents();
    }

    ~CServerWindowFixture()
    {
        m_pDlg->SendMessage(WM_CLOSE);
        m_pDlg.reset();
        CoRevokeClassObject(m_dwCookie);
        CoUninitialize();
        CResources::SetCurrent(nullptr);
    }

    CServerWindowFixture(const CServerWindowFixture&) = delete;
    CServerWindowFixture& operator=(const CServerWindowFixture&) = delete;

    CTarnlowServerDlg& Dlg() { return *m_pDlg; }

private:
    std::shared_ptr<CMemorySharingService> m_pService;
    DWORD m_dwCookie = 0;
    std::unique_ptr<CTarnlowServerDlg> m_pDlg;
};
