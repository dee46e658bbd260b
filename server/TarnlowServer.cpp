// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Server: shows its main window until it is closed.
#include "ServerResources.h"
#include "SharingRegistration.h"
#include "TarnlowServerDlg.h"
#include "UiApplication.h"

int main(int argc, char** argv)
{
    CUiApplication application(argc, argv, "org.tarnlow.Server");
    CResources::SetCurrent(&ServerResources());
    CTarnlowServerDlg dlg;
    // COM's security is the process's, set once: before anything else can make COM choose it.
    if (!dlg.InitialiseCOM()) {
        dlg.CleanClose();
        return 1;
    }
    const CSharingRegistration sharing;
    CWnd::SetMainWnd(&dlg);
    application.CloseOnTerminationSignals(&dlg);
    dlg.DoModal();
    // A service manager restarts a server that could not start, and leaves one that was closed.
    return dlg.StartFailed() ? 1 : 0;
}
