// SPDX-License-Identifier: GPL-3.0-or-later
// CAddressWatch: an event that the system signals at the next change of the machine's IPv4
// addresses, asked for again after each, so that the listener can follow the LAN's address.
#pragma once

#include "IpHelper.h"
#include "Kernel.h"

class CAddressWatch
{
public:
    CAddressWatch();
    ~CAddressWatch();
    CAddressWatch(const CAddressWatch&) = delete;
    CAddressWatch& operator=(const CAddressWatch&) = delete;

    // Asks for the next change; false, with a trace, where the system cannot tell.
    bool Arm();
    bool IsArmed() const { return m_bArmed; }
    HANDLE Event() const { return m_hEvent; }
    void Disarm();

private:
    HANDLE m_hEvent;
    OVERLAPPED m_Overlapped{};
    bool m_bArmed = false;
};
