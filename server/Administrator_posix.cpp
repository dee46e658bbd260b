// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux service says when it lacks CAP_NET_ADMIN, at the change it refuses.
#include "Administrator.h"

bool RunsAsAdministrator()
{
    return true;
}
