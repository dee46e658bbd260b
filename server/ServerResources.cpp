// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerResources.h"

#include "TemplateStyles.h"
#include "Version.h"
#include "server/resource.h"

namespace
{

SDialogTemplate AboutBox()
{
    return AboutBoxTemplate(IDD_ABOUTBOX, "About Tarnlow Server",
                            "Tarnlow Server Version " + std::string(kTarnlowVersion),
                            IDR_MAINFRAME);
}

SDialogTemplate MainWindow()
{
    return {IDD_TARNLOWSERVER_DIALOG,
            "Verrow",
            kMainWindowStyle,
            331,
            201,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::TabControl, IDC_TAB, "", WS_VISIBLE | WS_TABSTOP,
              DialogUnits(7, 7, 317, 187), "IDC_TAB"}}};
}

SDialogTemplate ConnectionsPage()
{
    return {IDD_CONNECTIONS,
            "",
            kPageStyle,
            312,
            129,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::ListView, IDC_CONNECTION_LIST, "", kListStyle,
              DialogUnits(7, 7, 298, 97), "IDC_CONNECTION_LIST"},
             {EControlKind::Button, IDC_REFRESH, "Refresh", kDefaultButtonStyle,
              DialogUnits(7, 110, 35, 12), "IDC_REFRESH"},
             {EControlKind::Static, -1, "IP Address:", kStaticStyle, DialogUnits(180, 114, 38, 8),
              "IDC_IP_LABEL"},
             {EControlKind::Static, IDC_IP_ADDRESS, "none", kStaticStyle,
              DialogUnits(223, 114, 82, 8), "IDC_IP_ADDRESS"}}};
}

SDialogTemplate CommsPage()
{
    return {IDD_COMMS,
            "",
            kPageStyle,
            313,
            126,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::Static, -1, "Receive port", kStaticStyle, DialogUnits(17, 23, 42, 8),
              "IDC_RECEIVE_PORT_LABEL"},
             {EControlKind::Edit, IDC_RECEIVE_PORT, "", kEditStyle, DialogUnits(103, 22, 41, 11),
              "IDC_RECEIVE_PORT"},
             {EControlKind::Static, -2, "Response timeout (msec)", kStaticStyle,
              DialogUnits(17, 40, 82, 8), "IDC_RESPONSE_TIMEOUT_LABEL"},
             {EControlKind::Edit, IDC_RESPONSE_TIMEOUT, "", kEditStyle,
              DialogUnits(103, 39, 41, 11), "IDC_RESPONSE_TIMEOUT"}}};
}

SDialogTemplate LogPage()
{
    return {IDD_LOG,
            "",
            kPageStyle,
            312,
            176,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::ListView, IDC_LOG_LIST, "", kListStyle, DialogUnits(7, 7, 298, 146),
              "IDC_LOG_LIST"},
             {EControlKind::Button, IDC_LOG_CLEAR, "Clear", kButtonStyle,
              DialogUnits(7, 157, 30, 12), "IDC_LOG_CLEAR"},
             {EControlKind::Button, IDC_LOG_PRINT, "Print", kButtonStyle,
              DialogUnits(140, 157, 30, 12), "IDC_LOG_PRINT"},
             {EControlKind::Button, IDC_LOG_SAVE, "Save", kButtonStyle,
              DialogUnits(275, 157, 30, 12), "IDC_LOG_SAVE"}}};
}

CResources MakeResources()
{
    CResources resources;
    for (const SDialogTemplate& dialog :
         {AboutBox(), MainWindow(), ConnectionsPage(), CommsPage(), LogPage()})
        resources.Dialogs[dialog.nId] = dialog;
    resources.Strings[IDS_ABOUTBOX] = "&About Tarnlow Server...";
    resources.Icons[IDR_MAINFRAME] = ":/icons/tarnlow-server";
    return resources;
}

} // namespace

const SLogVariant kServerLogVariant{IDC_LOG_LIST, IDC_LOG_CLEAR, IDC_LOG_PRINT, IDC_LOG_SAVE, true};

const CResources& ServerResources()
{
    static const CResources resources = MakeResources();
    return resources;
}
