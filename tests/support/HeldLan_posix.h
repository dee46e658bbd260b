// SPDX-License-Identifier: GPL-3.0-or-later
// A LAN made in the test's own namespace: a veth pair whose address (192.168.77.1) comes when the
// test adds it, and a socket that holds the server's port there from before the address comes,
// so that the server cannot listen at it until the test lets go.
#pragma once

#include "TestSockets.h"

#include <cstdlib>

class CHeldLan
{
public:
    static constexpr const char* kAddress = "192.168.77.1";

    explicit CHeldLan(unsigned short nPort)
    {
        if (std::system("ip link add tl-lan type veth peer name tl-lan-peer") != 0)
            return;
        m_bMade = true;
        m_hHolder = NewTestSocket();
        // Bound before the address is there, and past an earlier test's connections in TIME_WAIT.
        const int nOn = 1;
        ::setsockopt(m_hHolder, IPPROTO_IP, IP_FREEBIND, &nOn, sizeof nOn);
        ::setsockopt(m_hHolder, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(nPort);
        address.sin_addr.s_addr = ::inet_addr(kAddress);
        m_bHeld =
            ::bind(m_hHolder, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_hHolder, 1) == 0;
    }
    ~CHeldLan()
    {
        LetGo();
        if (m_bMade)
            std::system("ip link del tl-lan");
    }
    CHeldLan(const CHeldLan&) = delete;
    CHeldLan& operator=(const CHeldLan&) = delete;

    bool IsHeld() const { return m_bMade && m_bHeld; }
    bool AddAddress() const
    {
        return std::system("ip addr add 192.168.77.1/24 dev tl-lan && ip link set tl-lan up") == 0;
    }
    void LetGo() { CloseTestSocket(m_hHolder); }

private:
    bool m_bMade = false;
    bool m_bHeld = false;
    TestSocket m_hHolder = kNoTestSocket;
};
