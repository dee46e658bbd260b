// SPDX-License-Identifier: GPL-3.0-or-later
// tarnlow-server-nox, the gateway's server: the server's host, its termination signals and a
// wait, without any window. Its log and address are lines on standard output, what a window would
// show in a box a line on standard error.
#include "ConsoleFront.h"
#include "Journal.h"
#include "ServerHost.h"
#include "SharingRegistration.h"
#include "StateDirectory.h"
#include "TerminationWait.h"

int main()
{
    // Before any thread: the signals are the wait's alone.
    CTerminationWait termination;
    CServerHost::SOptions options;
    options.bHeadless = true;
    options.Settings = CServerSettings::Read();
    options.strStateDirectory = StateDirectory::Default();
    options.RequestClose = [&termination] { termination.Wake(); };
    CServerHost host(std::move(options));
    // COM's security is the process's, set once: before anything else can make COM choose it.
    std::string strFailure;
    if (!host.InitialiseCOM(strFailure)) {
        Journal::WriteNotice(CServerHost::kFatalErrorCaption, strFailure);
        host.Stop();
        return 1;
    }
    const CSharingRegistration sharing;
    CConsoleFront front;
    host.AddFront(front);
    if (host.Start(host.Settings().Port())) {
        while (termination.Wait() == CTerminationWait::EWoken::Reload &&
               host.Reload(CServerSettings::Read())) {
        }
    }
    host.Stop();
    // A service manager restarts a server that could not start, and leaves one that was closed.
    return host.Failed() ? 1 : 0;
}
