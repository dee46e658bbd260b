// SPDX-License-Identifier: GPL-3.0-or-later
// The resource ids that both programs' main windows have alike: the About box and its system menu
// item, the icon, the pages' templates and the tab control. Each program's resource.h adds its own.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDR_MAINFRAME 128
#define IDD_CONNECTIONS 129
#define IDD_COMMS 130
#define IDD_LOG 131

#define IDC_TAB 1000
