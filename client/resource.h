// Tarnlow Client's resource ids.
#pragma once

#define IDD_LOG 131
#define IDC_LOG_LIST 1003
#define IDC_LOG_CLEAR 1006
