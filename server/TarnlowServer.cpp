// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Server: the server's host with its main window as a view, shown until it is closed.
#include "MessageBox.h"
#include "ServerResources.h"
#include "SharingRegistration.h"
#include "StateDirectory.h"
#include "TarnlowServerDlg.h"
#include "UiApplication.h"

int main(int argc, char** argv)
{
    CUiApplication application(argc, argv, "org.tarnlow.Server");
    CResources::SetCurrent(&ServerResources());
    CWnd* pMainWnd = nullptr;
    CServerHost::SOptions options;
    options.bHeadless = CUiApplication::IsHeadless();
    options.Settings = CServerSettings::Read();
    options.strStateDirectory = StateDirectory::Default();
    options.RequestClose = [&pMainWnd] { pMainWnd->PostMessage(WM_CLOSE); };
    // The listener may have posted to the window: its calls are served while the close waits.
    options.WaitForThread = WaitForSingleObjectPumping;
    CServerHost host(std::move(options));
    CTarnlowServerDlg dlg(host);
    pMainWnd = &dlg;
    // COM's security is the process's, set once: before anything else can make COM choose it.
    std::string strFailure;
    if (!host.InitialiseCOM(strFailure)) {
        MessageBox(&dlg, strFailure, CServerHost::kFatalErrorCaption, MB_OK);
        host.Stop();
        return 1;
    }
    const CSharingRegistration sharing;
    CWnd::SetMainWnd(&dlg);
    application.CloseOnTerminationSignals(&dlg);
    dlg.DoModal();
    // A service manager restarts a server that could not start, and leaves one that was closed.
    return host.Failed() ? 1 : 0;
}
