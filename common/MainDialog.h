// SPDX-License-Identifier: GPL-3.0-or-later
// CMainDialog: what both programs' main windows are alike: a dialog (template 102) whose tab
// control holds the program's three pages and opens on the Log page, with the program's icon and
// the system menu's About item and box. Each program adds its own start and keys.
#pragma once

#include "AboutDlg.h"
#include "Log.h"
#include "MainWindowIds.h"
#include "PageTabCtrl.h"
#include "Resources.h"

template <typename TConnections, typename TComms>
class CMainDialog : public CDialog
{
public:
    static constexpr UINT IDD = 102;
    static constexpr int kLogPage = 2; // both windows open on it

    CPageTabCtrl m_tabCtrl;
    TConnections* m_pConnectionsPage = nullptr;
    TComms* m_pCommsPage = nullptr;
    CLog* m_pLogPage = nullptr;
    HICON m_hIcon;

protected:
    CMainDialog(TConnections* pConnectionsPage, TComms* pCommsPage, const SLogVariant& logVariant,
                CWnd* pParent)
        : CDialog(IDD, pParent), m_tabCtrl(pConnectionsPage, pCommsPage, new CLog(logVariant)),
          m_hIcon(CResources::Current().LoadIcon(IDR_MAINFRAME))
    {
    }

    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TAB, m_tabCtrl);
    }

    // The About item after a separator in the system menu, and the window's icon.
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        AppendAboutItem(IDM_ABOUTBOX, IDS_ABOUTBOX);
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        return TRUE;
    }

    void OnSysCommand(UINT nID, LPARAM lParam) override
    {
        if ((nID & 0xFFF0) != IDM_ABOUTBOX) {
            CDialog::OnSysCommand(nID, lParam);
            return;
        }
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    }

    // Inserts the tabs, makes the pages, and shows the Log page.
    void CreatePages()
    {
        m_tabCtrl.InsertTabsAndCreatePages();
        m_pConnectionsPage = m_tabCtrl.template GetPage<TConnections>(0);
        m_pCommsPage = m_tabCtrl.template GetPage<TComms>(1);
        m_pLogPage = m_tabCtrl.template GetPage<CLog>(kLogPage);
        m_tabCtrl.ShowPage(kLogPage);
    }
};
