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
    Disarm();
    if (m_hEvent == nullptr)
        return false;
    ResetEvent(m_hEvent);
    m_Overlapped = OVERLAPPED{};
    m_Overlapped.hEvent = m_hEvent;
    HANDLE hNotification = nullptr;
    const DWORD dwResult = NotifyAddrChange(&hNotification, &m_Overlapped);
    m_bArmed = dwResult == ERROR_IO_PENDING;
    if (!m_bArmed) {
        OutputDebugStringA(FormatText("CAddressWatch::Arm(): NotifyAddrChange() failed with "
                                      "error: %u\n",
                                      static_cast<unsigned>(dwResult))
                               .c_str());
    }
    return m_bArmed;
}

void CAddressWatch::Disarm()
{
    if (m_bArmed)
        CancelIPChangeNotify(&m_Overlapped);
    m_bArmed = false;
}
