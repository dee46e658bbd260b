// SPDX-License-Identifier: GPL-3.0-or-later
// Makes this build's connection-sharing service the one that CoCreateInstance of
// NetSharingManager gives the process, for as long as the object lives. Where the service is the
// system's own, or our COM finds the build's service by itself, there is nothing to do.
#pragma once

#include "WinTypes.h"

class CSharingRegistration
{
public:
    CSharingRegistration();
    ~CSharingRegistration();
    CSharingRegistration(const CSharingRegistration&) = delete;
    CSharingRegistration& operator=(const CSharingRegistration&) = delete;

private:
    // Only a registration of the in-memory service with the system's COM has these.
    [[maybe_unused]] DWORD m_dwCookie = 0;
    [[maybe_unused]] bool m_bRegistered = false;
};
