// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Client: shows its main window until it is closed.
#include "ClientResources.h"
#include "TarnlowClientDlg.h"
#include "UiApplication.h"

int main(int argc, char** argv)
{
    CUiApplication application(argc, argv);
    // Matches the window to its menu entry and icon in the desktop's task bar.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnlow.Client"));
    CResources::SetCurrent(&ClientResources());
    CTarnlowClientDlg dlg;

    application.CloseOnTerminationSignals(&dlg);
    dlg.DoModal();
    return 0;
}
