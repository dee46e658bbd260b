// SPDX-License-Identifier: GPL-3.0-or-later
// Listeners of the tests' own on 127.0.0.1, through the system's sockets.
#pragma once

#include "TestSockets.h"

// Binds the socket to a free port of 127.0.0.1 and listens there; the port, 0 when it cannot.
inline unsigned short ListenOnLoopback(TestSocket s, int nBacklog)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    TestSocketLength nLength = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength) != 0 ||
        ::listen(s, nBacklog) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// A listener that never accepts, its queue already full: further connection attempts get no
// answer at all, as from a host that is off. Linux leaves them so, and Wine, whose sockets are
// Linux's; Windows itself may refuse them.
class CUnansweredPort
{
public:
    CUnansweredPort() : m_nListener(NewTestSocket()), m_nPort(ListenOnLoopback(m_nListener, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_nPort);
        for (TestSocket& nFiller : m_Fillers) {
            nFiller = NewTestSocket();
            SetTestSocketNonBlocking(nFiller);
            ::connect(nFiller, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~CUnansweredPort()
    {
        for (TestSocket& nFiller : m_Fillers)
            CloseTestSocket(nFiller);
        CloseTestSocket(m_nListener);
    }
    CUnansweredPort(const CUnansweredPort&) = delete;
    CUnansweredPort& operator=(const CUnansweredPort&) = delete;

    // 0 when it could not listen.
    unsigned short Port() const { return m_nPort; }

private:
    CTestSockets m_Sockets;
    TestSocket m_nListener;
    unsigned short m_nPort;
    TestSocket m_Fillers[3] = {kNoTestSocket, kNoTestSocket, kNoTestSocket};
};
