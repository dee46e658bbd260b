// SPDX-License-Identifier: GPL-3.0-or-later
// What both programs' main windows do alike: the pages wired to the window after the tab control
// has made them, and the system menu's About item with its box. Each program keeps what differs.
#pragma once

#include "AboutDlg.h"
#include "Log.h"
#include "PageTabCtrl.h"

namespace MainWindow
{

inline constexpr int kLogPage = 2; // both windows open on it

// Inserts the tabs, makes the pages, and shows the Log page.
template <typename TMainDlg, typename TConnections, typename TComms>
void CreatePages(TMainDlg& dlg)
{
    dlg.m_tabCtrl.InsertTabsAndCreatePages();
    dlg.m_pConnectionsPage = dlg.m_tabCtrl.template GetPage<TConnections>(0);
    dlg.m_pCommsPage = dlg.m_tabCtrl.template GetPage<TComms>(1);
    dlg.m_pLogPage = dlg.m_tabCtrl.template GetPage<CLog>(kLogPage);
    dlg.m_tabCtrl.ShowPage(kLogPage);
}

// The About item after a separator in the system menu, and the window's icon.
inline void InitialiseFrame(CDialog& dlg, HICON hIcon, UINT nAboutCommand, int nAboutText)
{
    dlg.AppendAboutItem(nAboutCommand, nAboutText);
    dlg.SetIcon(hIcon, TRUE);
    dlg.SetIcon(hIcon, FALSE);
}

// Shows the About box when the system command is the About item; false for any other.
inline bool ShowAboutBox(UINT nID, UINT nAboutCommand)
{
    if ((nID & 0xFFF0) != nAboutCommand)
        return false;
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
    return true;
}

} // namespace MainWindow
