// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnlow Server's resource ids.
#pragma once

#include "MainWindowIds.h"

#define IDD_TARNLOWSERVER_DIALOG 102

#define IDC_CONNECTION_LIST 1001
#define IDC_LOG_LIST 1002
#define IDC_LOG_CLEAR 1003
#define IDC_LOG_PRINT 1004
#define IDC_RECEIVE_PORT 1004
#define IDC_REFRESH 1005
#define IDC_LOG_SAVE 1005
#define IDC_IP_ADDRESS 1006
#define IDC_RESPONSE_TIMEOUT 1006
