// SPDX-License-Identifier: GPL-3.0-or-later
#include "AddressWatch.h"

#include "Format.h"

CAddressWatch::CAddressWatch() : m_hEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CAddressWatch::~CAddressWatch()
{
    Disarm();
    if (m_hEvent != nullptr)
        CloseHandle(m_hEvent);
}

bool CAddressWatch::Arm()
{
    if (IsPending())
        return true;
    m_bArmed = false;
    if (m_hEvent == nullptr)
        return false;
    ResetEvent(m_hEvent);
    m_Overlapped = OVERLAPPED{};
    m_Overlapped.hEvent = m_hEvent;
    const DWORD dwResult = NotifyAddrChange(&m_hNotification, &m_Overlapped);
    m_bArmed = dwResult == ERROR_IO_PENDING;
    if (!m_bArmed) {
        OutputDebugStringA(FormatText("CAddressWatch::Arm(): NotifyAddrChange() failed with "
                                      "error: %u\n",
                                      static_cast<unsigned>(dwResult))
                               .c_str());
    }
    return m_bArmed;
}

// A request whose change has come is let go too, so that nothing of it outlives the watch.
void CAddressWatch::Disarm()
{
    if (!m_bArmed)
        return;
    const bool bPending = IsPending();
    if (CancelIPChangeNotify(&m_Overlapped) && bPending) {
        // The cancelled request completes before its OVERLAPPED may be used again.
        DWORD dwBytes = 0;
        GetOverlappedResult(m_hNotification, &m_Overlapped, &dwBytes, TRUE);
    }
    m_bArmed = false;
}

// Asked for, and the change has not come yet.
bool CAddressWatch::IsPending() const
{
    return m_bArmed && WaitForSingleObject(m_hEvent, 0) == WAIT_TIMEOUT;
}
