// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Client's resource ids.
#pragma once

#include "MainWindowIds.h"

#define IDD_TARNLOWCLIENT_DIALOG 102
#define IDR_CONTEXT_MENU 132

#define IDC_SERVER_IP_ADDRESS 1001
#define IDC_SERVER_PORT 1002
#define IDC_LOG_LIST 1003
#define IDC_CONNECT 1004
#define IDC_CONNECTION_LIST 1005
#define IDC_LOG_CLEAR 1006

#define ID_SHARE_THIS_CONNECTION 32771
#define ID_DISABLE_THIS_SHARE 32772
