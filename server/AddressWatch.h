// SPDX-License-Identifier: GPL-3.0-or-later
// CAddressWatch: an event that the system signals at the next change of the machine's IPv4
// addresses, asked for again after each, so that the listener can follow the LAN's address. A
// request is asked for only when none is pending (the system fails a second one on the same
// OVERLAPPED), and a cancelled one is completed before its OVERLAPPED is used again.
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

    // Asks for the next change unless a request is pending already; false, with a trace, where
    // the system cannot tell.
    bool Arm();
    bool IsArmed() const { return m_bArmed; }
    HANDLE Event() const { return m_hEvent; }
    void Disarm();

private:
    bool IsPending() const;

    HANDLE m_hEvent;
    HANDLE m_hNotification = nullptr;
    OVERLAPPED m_Overlapped{};
    bool m_bArmed = false;
};
