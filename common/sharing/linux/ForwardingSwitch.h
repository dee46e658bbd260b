// SPDX-License-Identifier: GPL-3.0-or-later
// CForwardingSwitch: the kernel's IPv4 forwarding switch, the one setting beside its table that
// sharing turns.
#pragma once

#include "Com.h"

class CForwardingSwitch
{
public:
    // E_ACCESSDENIED where the process may not, E_FAIL for any other failure.
    static HRESULT Read(bool& bOn);
    static HRESULT Write(bool bOn);
};
