// SPDX-License-Identifier: GPL-3.0-or-later
// The free loopback port, asked of Winsock.
#pragma once

#include <winsock2.h>

inline unsigned short FreeLoopbackPort()
{
    WSADATA wsaData;
    ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int nLength = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &nLength);
    ::closesocket(s);
    ::WSACleanup();
    return ntohs(address.sin_port);
}

// A listener on 127.0.0.1 that never accepts, its queue already full: under Wine, whose sockets
// are Linux's, further connection attempts get no answer at all, as from a host that is off.
class CUnansweredPort
{
public:
    CUnansweredPort()
    {
        WSADATA wsaData;
        ::WSAStartup(MAKEWORD(2, 2), &wsaData);
        m_hListener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_hListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int nLength = sizeof address;
        ::getsockname(m_hListener, reinterpret_cast<sockaddr*>(&address), &nLength);
        m_bListening = ::listen(m_hListener, 0) == 0;
        m_nPort = ntohs(address.sin_port);
        for (SOCKET& hFiller : m_Fillers) {
            hFiller = ::socket(AF_INET, SOCK_STREAM, 0);
            u_long nNonBlocking = 1;
            ::ioctlsocket(hFiller, FIONBIO, &nNonBlocking);
            ::connect(hFiller, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~CUnansweredPort()
    {
        for (const SOCKET hFiller : m_Fillers)
            ::closesocket(hFiller);
        ::closesocket(m_hListener);
        ::WSACleanup();
    }
    CUnansweredPort(const CUnansweredPort&) = delete;
    CUnansweredPort& operator=(const CUnansweredPort&) = delete;

    bool IsListening() const { return m_bListening; }
    unsigned short Port() const { return m_nPort; }

private:
    SOCKET m_hListener = INVALID_SOCKET;
    SOCKET m_Fillers[3] = {INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET};
    bool m_bListening = false;
    unsigned short m_nPort = 0;
};
