// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a window with the three tabs and the server's Log page holding a few entries, so that a
// screenshot can be taken (scripts/ui-demo). It closes by itself after the given number of
// seconds (default 10), or when its window is closed.
#include "ServerResources.h"
#include "UiApplication.h"
#include "UiTestSupport.h"

#include <QTimer>
#include <cstdlib>

int main(int argc, char** argv)
{
    CUiApplication application(argc, argv);
    const int nSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const CResources resources = WithTestWindows(ServerResources());
    CResources::SetCurrent(&resources);
    auto* pLog = new CLog(kServerLogVariant);
    CLogFanOut log;
    log.AddView(*pLog);
    CTestMainWindow window(pLog);
    window.Create(kTestMainWindowId);
    window.SetWindowText("Verrow");
    for (const char* pszEntry : {"Program started", "TCP/IP: Starting", "TCP/IP: Started",
                                 "Listening for clients", "Waiting for a socket event"})
        log.AddEntry(pszEntry);
    QTimer::singleShot(nSeconds * 1000, [&] { window.EndDialog(IDOK); });
    window.DoModal();
    log.RemoveView(*pLog);
    CResources::SetCurrent(nullptr);
    return 0;
}
