// SPDX-License-Identifier: GPL-3.0-or-later
#include "WinSock.h"

#include <atomic>

namespace
{

std::atomic<WORD> g_wOfferedVersion{0};

} // namespace

namespace Winsock
{

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    const int nResult = ::WSAStartup(wVersionRequested, lpWSAData);
    const WORD wOffered = g_wOfferedVersion.load();
    if (nResult == 0 && wOffered != 0)
        lpWSAData->wVersion = wOffered;
    return nResult;
}

void OfferVersionForTests(WORD wVersion)
{
    g_wOfferedVersion = wVersion;
}

} // namespace Winsock
