// SPDX-License-Identifier: GPL-3.0-or-later
// A TCP port on 127.0.0.1 that was free a moment ago, for tests that need a fixed port number;
// a port at which connection attempts go unanswered.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

inline unsigned short FreeLoopbackPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t nLength = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength);
    ::close(s);
    return ntohs(address.sin_port);
}

// A listener on 127.0.0.1 that never accepts, its queue already full: further connection attempts
// get no answer at all, as from a host that is off.
class CUnansweredPort
{
public:
    CUnansweredPort()
    {
        m_nListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_nListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t nLength = sizeof address;
        ::getsockname(m_nListener, reinterpret_cast<sockaddr*>(&address), &nLength);
        m_bListening = ::listen(m_nListener, 0) == 0;
        m_nPort = ntohs(address.sin_port);
        for (int& nFiller : m_Fillers) {
            nFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(nFiller, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~CUnansweredPort()
    {
        for (const int nFiller : m_Fillers)
            ::close(nFiller);
        ::close(m_nListener);
    }
    CUnansweredPort(const CUnansweredPort&) = delete;
    CUnansweredPort& operator=(const CUnansweredPort&) = delete;

    bool IsListening() const { return m_bListening; }
    unsigned short Port() const { return m_nPort; }

private:
    int m_nListener = -1;
    int m_Fillers[3] = {-1, -1, -1};
    bool m_bListening = false;
    unsigned short m_nPort = 0;
};
