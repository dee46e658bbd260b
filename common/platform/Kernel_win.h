// On Windows the kernel services are the system's own.
#pragma once

#include "WinTypes_win.h"
