// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Client: shows its main window until it is closed.
#include "ClientResources.h"
#include "TarnlowClientDlg.h"
#include "UiApplication.h"

int main(int argc, char** argv)
{
    CUiApplication application(argc, argv, "org.tarnlow.Client");
    CResources::SetCurrent(&ClientResources());
    CTarnlowClientDlg dlg;

    application.CloseOnTerminationSignals(&dlg);
    dlg.DoModal();
    return 0;
}
