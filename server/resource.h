// Tarnlow Server's resource ids.
#pragma once

#define IDD_LOG 131
#define IDC_LOG_LIST 1002
#define IDC_LOG_CLEAR 1003
#define IDC_LOG_PRINT 1004
#define IDC_LOG_SAVE 1005
