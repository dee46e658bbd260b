// SPDX-License-Identifier: GPL-3.0-or-later
// CListeningSocket: the listener's socket, which is the socket wrapper's own: made, bound and
// listening at the server's port and an address (empty: any of the machine's), and moved to a new
// address by binding the new one before the old one goes, so that the server is never deaf.
#pragma once

#include "Sockets.h"

#include <string>

class CListeningSocket
{
public:
    explicit CListeningSocket(CSockets& sockets) : m_Sockets(sockets) {}
    CListeningSocket(const CListeningSocket&) = delete;
    CListeningSocket& operator=(const CListeningSocket&) = delete;

    void SetPort(int nPort) { m_nPort = nPort; }
    // Makes the socket and listens at the address; false, with the trace of the call that failed
    // and nothing left open, where it cannot.
    bool Open(const std::string& strAddress, std::string& strError);
    // Where the socket is once it tried a new address: there, at the old one on the same socket,
    // at the old one on a socket made anew (to be selected anew), or nowhere (the old one could
    // not be had again either).
    enum class EMoved { There, Kept, Reopened, Lost };
    EMoved MoveTo(const std::string& strAddress, std::string& strError);
    // The address it listens at; empty: any.
    const std::string& Address() const { return m_strAddress; }
    // Shuts down and closes the socket, if one is open.
    void Close();

private:
    CSockets& m_Sockets;
    int m_nPort = 0;
    std::string m_strAddress;
};
