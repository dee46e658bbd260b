// SPDX-License-Identifier: GPL-3.0-or-later
// Whether this process may change the system's sharing: on Windows only an administrator's
// elevated token may. On Linux the sharing service checks its own capability when asked.
#pragma once

bool RunsAsAdministrator();
