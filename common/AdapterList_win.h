// SPDX-License-Identifier: GPL-3.0-or-later
// The IP helper's list of the machine's adapters with their IPv4 addresses, read once.
#pragma once

#include <winsock2.h>
// The IP helper's rows need Winsock's IPv6 definitions first.
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <vector>

class CAdapterList
{
public:
    CAdapterList()
    {
        ULONG nBytes = 16 * 1024;
        ULONG nResult = ERROR_BUFFER_OVERFLOW;
        // The list may grow between the two calls.
        for (int nTry = 0; nTry < 3 && nResult == ERROR_BUFFER_OVERFLOW; ++nTry) {
            m_Buffer.resize(nBytes);
            nResult = GetAdaptersAddresses(
                AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(m_Buffer.data()), &nBytes);
        }
        if (nResult != NO_ERROR)
            m_Buffer.clear();
    }

    // The first adapter, the others through Next; null when the list could not be read.
    const IP_ADAPTER_ADDRESSES* First() const
    {
        return m_Buffer.empty() ? nullptr
                                : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(m_Buffer.data());
    }

private:
    std::vector<unsigned char> m_Buffer;
};
