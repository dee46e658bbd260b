// SPDX-License-Identifier: GPL-3.0-or-later
// CForwardingSwitch: the kernel's IPv4 forwarding switches, the settings beside its table that
// sharing turns: the machine's (ip_forward, which sets every interface's when written) and each
// interface's own, by which the kernel forwards what comes in through that interface.
#pragma once

#include "Com.h"

#include <string>

class CForwardingSwitch
{
public:
    // The machine's switch, or an interface's where one is named. E_ACCESSDENIED where the
    // process may not, E_FAIL for any other failure (the interface is gone, say); a switch that
    // cannot be read leaves bOn as it was.
    static HRESULT Read(bool& bOn, const std::string& strInterface = std::string());
    static HRESULT Write(bool bOn, const std::string& strInterface = std::string());
};
