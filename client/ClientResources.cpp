// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientResources.h"

#include "TemplateStyles.h"
#include "Version.h"
#include "client/resource.h"

namespace
{

SDialogTemplate AboutBox()
{
    return AboutBoxTemplate(IDD_ABOUTBOX, "About Tarnlow Client",
                            "Tarnlow Client Version " + std::string(kTarnlowVersion),
                            IDR_MAINFRAME);
}

SDialogTemplate MainWindow()
{
    return {IDD_TARNLOWCLIENT_DIALOG,
            "Kestle",
            kMainWindowStyle,
            327,
            214,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::TabControl, IDC_TAB, "", WS_VISIBLE | WS_TABSTOP,
              DialogUnits(7, 7, 313, 180), "IDC_TAB"},
             {EControlKind::Button, IDC_CONNECT, "Connect", kButtonStyle,
              DialogUnits(7, 191, 32, 14), "IDC_CONNECT"}}};
}

SDialogTemplate ConnectionsPage()
{
    return {IDD_CONNECTIONS,
            "",
            kPageStyle,
            312,
            161,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::ListView, IDC_CONNECTION_LIST, "", kListStyle,
              DialogUnits(7, 17, 298, 101), "IDC_CONNECTION_LIST"}}};
}

SDialogTemplate CommsPage()
{
    return {IDD_COMMS,
            "",
            kPageStyle,
            273,
            161,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::Static, -1, "Server IP Address", kStaticStyle,
              DialogUnits(19, 37, 59, 8), "IDC_SERVER_IP_ADDRESS_LABEL"},
             {EControlKind::Edit, IDC_SERVER_IP_ADDRESS, "", kEditStyle,
              DialogUnits(87, 36, 70, 11), "IDC_SERVER_IP_ADDRESS"},
             {EControlKind::Static, -2, "Server Port", kStaticStyle, DialogUnits(19, 52, 38, 8),
              "IDC_SERVER_PORT_LABEL"},
             {EControlKind::Edit, IDC_SERVER_PORT, "", kEditStyle, DialogUnits(87, 52, 39, 11),
              "IDC_SERVER_PORT"}}};
}

SDialogTemplate LogPage()
{
    return {IDD_LOG,
            "",
            kPageStyle,
            311,
            166,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::ListView, IDC_LOG_LIST, "", kListStyle, DialogUnits(7, 7, 296, 138),
              "IDC_LOG_LIST"},
             {EControlKind::Button, IDC_LOG_CLEAR, "Clear", kButtonStyle,
              DialogUnits(7, 147, 31, 12), "IDC_LOG_CLEAR"}}};
}

SMenuTemplate ContextMenu()
{
    return {IDR_CONTEXT_MENU,
            {{0,
              "Context Menu",
              MF_STRING,
              {{ID_SHARE_THIS_CONNECTION, "Share this connection", MF_STRING, {}},
               {ID_DISABLE_THIS_SHARE, "Disable this share", MF_STRING, {}}}}}};
}

CResources MakeResources()
{
    CResources resources;
    for (const SDialogTemplate& dialog :
         {AboutBox(), MainWindow(), ConnectionsPage(), CommsPage(), LogPage()})
        resources.Dialogs[dialog.nId] = dialog;
    resources.Menus[IDR_CONTEXT_MENU] = ContextMenu();
    resources.Strings[IDS_ABOUTBOX] = "&About Tarnlow Client...";
    resources.Icons[IDR_MAINFRAME] = ":/icons/tarnlow-client";
    return resources;
}

} // namespace

const SLogVariant kClientLogVariant{IDC_LOG_LIST, IDC_LOG_CLEAR, 0, 0, false};

const CResources& ClientResources()
{
    static const CResources resources = MakeResources();
    return resources;
}
