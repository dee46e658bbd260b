// SPDX-License-Identifier: GPL-3.0-or-later
// Runs inside a private network namespace that has only loopback.
#include "Sockets.h"

#include "TraceCapture.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(SocketsNetnsTest, loopbackOnlyMachineListsOneAddress)
{
    CSockets sockets;
    ASSERT_TRUE(sockets.StartSockets());
    EXPECT_EQ(sockets.GetLocalAddressCount(), 1);
    EXPECT_EQ(sockets.GetLocalAddress(0), "127.0.0.1");
    sockets.ShutdownSockets();
}

TEST(SocketsNetnsTest, interfaceListQueryReportsOneRecord)
{
    WSADATA wsaData;
    ASSERT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), &wsaData), 0);
    const SOCKET s = Winsock::socket(AF_INET, SOCK_DGRAM, 0);
    INTERFACE_INFO records[10] = {};
    DWORD dwBytes = 0;
    EXPECT_EQ(Winsock::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, records, sizeof records,
                                &dwBytes, nullptr, nullptr),
              0);
    EXPECT_EQ(dwBytes, 76u);
    EXPECT_EQ(records[0].iiAddress.AddressIn.sin_family, AF_INET);
    EXPECT_NE(records[0].iiFlags & 0x04u, 0u) << "loopback flag";
    // A buffer too small for the list still gets what fits, and the call reports the shortage.
    dwBytes = 1;
    EXPECT_EQ(Winsock::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, records, 10, &dwBytes,
                                nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(dwBytes, 0u);
    Winsock::closesocket(s);
    Winsock::WSACleanup();
}

// Here nothing can leave the machine, so a connect to the broadcast address is harmless.
TEST(SocketsNetnsTest, hostNameAsAddressIsStoredAsNoneAndFailsAtConnect)
{
    CSockets sockets;
    ASSERT_TRUE(sockets.StartSockets());
    ASSERT_TRUE(sockets.SocketCreate());
    sockets.SocketAddressClear();
    sockets.SocketAddressSetPort(10000);
    sockets.SocketAddressSetFamily(AF_INET);
    sockets.SocketAddressSetAddress("localhost");
    CTraceCapture capture;
    EXPECT_FALSE(sockets.SocketConnect());
    EXPECT_EQ(capture.Text(), "CSockets::SocketConnect(): connect() returned " +
                                  std::to_string(Winsock::WSAGetLastError()) + "\n");
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAENETUNREACH);
    EXPECT_EQ(Winsock::inet_addr("localhost"), INADDR_NONE);
    sockets.SocketClose();
    sockets.ShutdownSockets();
}

// A dial-up link made before the LAN card, as a PPP link is: entry 0 is still the LAN's.
TEST(SocketsNetnsTest, theLansAddressComesBeforePointToPointLinksAndLoopback)
{
    if (std::system("ip tuntap add dev tl-dial mode tun 2>/dev/null") != 0)
        GTEST_SKIP() << "this namespace cannot make a tun device";
    ASSERT_EQ(std::system("ip addr add 10.64.0.2 peer 10.64.0.1 dev tl-dial &&"
                          " ip link set tl-dial up &&"
                          " ip link add tl-lan type veth peer name tl-lan-peer &&"
                          " ip addr add 192.168.77.1/24 dev tl-lan && ip link set tl-lan up"),
              0);
    CSockets sockets;
    ASSERT_TRUE(sockets.StartSockets());
    std::vector<std::string> addresses;
    for (int i = 0; i < sockets.GetLocalAddressCount(); ++i)
        addresses.push_back(sockets.GetLocalAddress(i));
    EXPECT_EQ(addresses, (std::vector<std::string>{"192.168.77.1", "10.64.0.2", "127.0.0.1"}));
    sockets.ShutdownSockets();
    EXPECT_EQ(std::system("ip link del tl-lan && ip tuntap del dev tl-dial mode tun"), 0);
}
