// SPDX-License-Identifier: GPL-3.0-or-later
#include "WinSock.h"
#include "TestPlatform.h"

#include "LoopbackPort.h"
#include "ThreadState.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace
{

constexpr DWORD kWaitMs = 5000;

class WinSockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WSADATA wsaData;
        ASSERT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), &wsaData), 0);
        m_hEvent = Winsock::WSACreateEvent();
    }
    void TearDown() override
    {
        for (SOCKET s : m_Sockets)
            Winsock::closesocket(s);
        Winsock::WSACloseEvent(m_hEvent);
        Winsock::WSACleanup();
    }

    SOCKET Socket()
    {
        const SOCKET s = Winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        m_Sockets.push_back(s);
        return s;
    }

    static sockaddr_in Loopback(unsigned short nPort)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = Winsock::htons(nPort);
        address.sin_addr.s_addr = Winsock::inet_addr("127.0.0.1");
        return address;
    }

    SOCKET Listener(unsigned short nPort)
    {
        const SOCKET s = Socket();
        const sockaddr_in address = Loopback(nPort);
        EXPECT_EQ(Winsock::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(Winsock::listen(s, SOMAXCONN), 0);
        return s;
    }

    SOCKET Connected(unsigned short nPort)
    {
        const SOCKET s = Socket();
        const sockaddr_in address = Loopback(nPort);
        EXPECT_EQ(Winsock::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  0);
        return s;
    }

    SOCKET Accepted(SOCKET hListener)
    {
        const SOCKET s = Winsock::accept(hListener, nullptr, nullptr);
        if (s != INVALID_SOCKET)
            m_Sockets.push_back(s);
        return s;
    }

    long Enumerate(SOCKET s)
    {
        WSANETWORKEVENTS events{};
        EXPECT_EQ(Winsock::WSAEnumNetworkEvents(s, m_hEvent, &events), 0);
        return events.lNetworkEvents;
    }

    WSAEVENT m_hEvent = WSA_INVALID_EVENT;
    std::vector<SOCKET> m_Sockets;
};

} // namespace

TEST(WinSockStartupTest, reportsVersionTwoTwoAndCountsStarts)
{
    WSADATA wsaData;
    ASSERT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), &wsaData), 0);
    EXPECT_EQ(wsaData.wVersion, MAKEWORD(2, 2));
    ASSERT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), &wsaData), 0);
    EXPECT_EQ(Winsock::WSACleanup(), 0);
    EXPECT_EQ(Winsock::WSACleanup(), 0);
    EXPECT_EQ(Winsock::WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(Winsock::WSAStartup(MAKEWORD(0, 2), &wsaData), WSAVERNOTSUPPORTED);
    EXPECT_EQ(Winsock::WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
}

TEST(WinSockStartupTest, socketsNeedWinsockStarted)
{
    EXPECT_EQ(Winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(WinSockTest, errorsAreReportedWithWinsockNumbers)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hClient = Socket();
    const sockaddr_in address = Loopback(nPort);
    EXPECT_EQ(
        Winsock::connect(hClient, reinterpret_cast<const sockaddr*>(&address), sizeof address),
        SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAECONNREFUSED);

    Listener(nPort);
    const SOCKET hSecond = Socket();
    EXPECT_EQ(Winsock::bind(hSecond, reinterpret_cast<const sockaddr*>(&address), sizeof address),
              SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEADDRINUSE);

    char c;
    EXPECT_EQ(Winsock::recv(hSecond, &c, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAENOTCONN);
    EXPECT_EQ(Winsock::closesocket(INVALID_SOCKET), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(Winsock::WSAEventSelect(INVALID_SOCKET, m_hEvent, FD_READ), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(WinSockTest, sendToAPeerThatHasGoneFailsWithoutASignal)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    const SOCKET hClient = Connected(nPort);
    const SOCKET hServer = Accepted(hListener);
    ASSERT_NE(hServer, INVALID_SOCKET);
    // Reset the connection from the client side; the server's side learns of it as its close.
    ASSERT_EQ(Winsock::WSAEventSelect(hServer, m_hEvent, FD_CLOSE), 0);
    const linger lingerNow{1, 0};
    Winsock::setsockopt(hClient, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lingerNow),
                        sizeof lingerNow);
    Winsock::closesocket(hClient);
    m_Sockets.erase(std::find(m_Sockets.begin(), m_Sockets.end(), hClient));
    ASSERT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(Winsock::send(hServer, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAECONNRESET);
}

TEST_F(WinSockTest, acceptEventIsRecordedOnceUntilAccept)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    ASSERT_EQ(Winsock::WSAEventSelect(hListener, m_hEvent, FD_ACCEPT), 0);
    Connected(nPort);
    Connected(nPort);
    ASSERT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(Enumerate(hListener), FD_ACCEPT);
    // Enumeration reset the event; without an accept the pending connections signal nothing.
    EXPECT_EQ(WaitForSingleObject(m_hEvent, 100), WAIT_TIMEOUT);
    EXPECT_EQ(Enumerate(hListener), 0);
    ASSERT_NE(Accepted(hListener), INVALID_SOCKET);
    // The accept re-enables the event, and the second connection is still waiting.
    EXPECT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(Enumerate(hListener), FD_ACCEPT);
    ASSERT_NE(Accepted(hListener), INVALID_SOCKET);
    EXPECT_EQ(Accepted(hListener), INVALID_SOCKET);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST_F(WinSockTest, readAndCloseEventsOfAConnectedSocket)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    const SOCKET hClient = Connected(nPort);
    const SOCKET hServer = Accepted(hListener);
    ASSERT_EQ(Winsock::WSAEventSelect(hServer, m_hEvent, FD_READ | FD_CLOSE), 0);
    EXPECT_EQ(WaitForSingleObject(m_hEvent, 50), WAIT_TIMEOUT);
    ASSERT_EQ(Winsock::send(hClient, "abc", 3, 0), 3);
    ASSERT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(Enumerate(hServer), FD_READ);
    char cBuffer[8];
    EXPECT_EQ(Winsock::recv(hServer, cBuffer, sizeof cBuffer, 0), 3);
    Winsock::shutdown(hClient, SD_SEND);
    ASSERT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    WSANETWORKEVENTS events{};
    ASSERT_EQ(Winsock::WSAEnumNetworkEvents(hServer, m_hEvent, &events), 0);
    EXPECT_EQ(events.lNetworkEvents, FD_CLOSE);
    EXPECT_EQ(events.iErrorCode[FD_CLOSE_BIT], 0);
    EXPECT_EQ(Winsock::recv(hServer, cBuffer, sizeof cBuffer, 0), 0);
}

TEST_F(WinSockTest, nonBlockingConnectReportsConnectAndWrite)
{
    const unsigned short nPort = FreeLoopbackPort();
    Listener(nPort);
    const SOCKET hClient = Socket();
    ASSERT_EQ(Winsock::WSAEventSelect(hClient, m_hEvent, FD_CONNECT | FD_WRITE), 0);
    const sockaddr_in address = Loopback(nPort);
    const int nResult =
        Winsock::connect(hClient, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (nResult == SOCKET_ERROR) {
        EXPECT_EQ(Winsock::WSAGetLastError(), WSAEWOULDBLOCK);
    }
    ASSERT_EQ(WaitForSingleObject(m_hEvent, kWaitMs), WAIT_OBJECT_0);
    WSANETWORKEVENTS events{};
    ASSERT_EQ(Winsock::WSAEnumNetworkEvents(hClient, m_hEvent, &events), 0);
    EXPECT_NE(events.lNetworkEvents & FD_WRITE, 0);
    if (nResult == SOCKET_ERROR) {
        EXPECT_NE(events.lNetworkEvents & FD_CONNECT, 0);
        EXPECT_EQ(events.iErrorCode[FD_CONNECT_BIT], 0);
    }
}

// A socket selected onto an event is non-blocking; it is made blocking again only once the
// selection is cleared, and then a receive waits for the peer.
TEST_F(WinSockTest, aSelectedSocketIsMadeBlockingAgainOnlyOnceUnselected)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    const SOCKET hClient = Connected(nPort);
    const SOCKET hServer = Accepted(hListener);
    ASSERT_EQ(Winsock::WSAEventSelect(hClient, m_hEvent, FD_READ), 0);
    unsigned long nBlocking = 0;
    EXPECT_EQ(Winsock::ioctlsocket(hClient, FIONBIO, &nBlocking), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEINVAL);
    ASSERT_EQ(Winsock::WSAEventSelect(hClient, nullptr, 0), 0);
    char cByte = 0;
    EXPECT_EQ(Winsock::recv(hClient, &cByte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_EQ(Winsock::ioctlsocket(hClient, FIONBIO, &nBlocking), 0);
    const ThreadId nReader = KernelThreadId();
    std::thread peer([&] {
        EXPECT_TRUE(WaitUntilThreadSleeps(nReader));
        Winsock::send(hServer, "x", 1, 0);
    });
    EXPECT_EQ(Winsock::recv(hClient, &cByte, 1, 0), 1);
    EXPECT_EQ(cByte, 'x');
    peer.join();
}

TEST_F(WinSockTest, enumerationWithAClosedEventFails)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine does not check the event handle";
    const SOCKET hListener = Listener(FreeLoopbackPort());
    const WSAEVENT hClosed = Winsock::WSACreateEvent();
    Winsock::WSACloseEvent(hClosed);
    WSANETWORKEVENTS events{};
    EXPECT_EQ(Winsock::WSAEnumNetworkEvents(hListener, hClosed, &events), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(Winsock::WSAEnumNetworkEvents(hListener, m_hEvent, nullptr), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEFAULT);
}

TEST_F(WinSockTest, interfaceListPutsLoopbackLast)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine lists loopback first, where Windows lists it last";
    const SOCKET s = Winsock::socket(AF_INET, SOCK_DGRAM, 0);
    m_Sockets.push_back(s);
    INTERFACE_INFO records[64] = {};
    DWORD dwBytes = 0;
    ASSERT_EQ(Winsock::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, records, sizeof records,
                                &dwBytes, nullptr, nullptr),
              0);
    ASSERT_EQ(dwBytes % sizeof(INTERFACE_INFO), 0u);
    const std::size_t nCount = dwBytes / sizeof(INTERFACE_INFO);
    ASSERT_GE(nCount, 1u);
    bool bLoopbackSeen = false;
    for (std::size_t i = 0; i < nCount; ++i) {
        const bool bLoopback = (ntohl(records[i].iiAddress.AddressIn.sin_addr.s_addr) >> 24) == 127;
        EXPECT_FALSE(bLoopbackSeen && !bLoopback) << i;
        bLoopbackSeen = bLoopbackSeen || bLoopback;
    }
    EXPECT_TRUE(bLoopbackSeen);
    EXPECT_EQ(Winsock::WSAIoctl(s, 0x12345678, nullptr, 0, records, sizeof records, &dwBytes,
                                nullptr, nullptr),
              SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEOPNOTSUPP);
}

// A wait on a network event and a plain event: when both occur at once, both are reported,
// one wait each, and nothing more.
TEST_F(WinSockTest, waitOnASocketAndAnEventReportsBothWhenTheyOccurAtOnce)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    ASSERT_EQ(Winsock::WSAEventSelect(hListener, m_hEvent, FD_ACCEPT), 0);
    const HANDLE hStop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const HANDLE handles[] = {m_hEvent, hStop};
    const ThreadId nWaiter = KernelThreadId();
    std::thread both([&] {
        EXPECT_TRUE(WaitUntilThreadSleeps(nWaiter));
        Connected(nPort);
        SetEvent(hStop);
    });
    int nAccepts = 0;
    int nStops = 0;
    for (int i = 0; i < 2; ++i) {
        const DWORD dwResult = WaitForMultipleObjects(2, handles, FALSE, kWaitMs);
        if (dwResult == WAIT_OBJECT_0) {
            EXPECT_EQ(Enumerate(hListener), FD_ACCEPT);
            ++nAccepts;
        } else {
            EXPECT_EQ(dwResult, WAIT_OBJECT_0 + 1);
            ++nStops;
        }
        if (i == 0)
            both.join();
    }
    EXPECT_EQ(nAccepts, 1);
    EXPECT_EQ(nStops, 1);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 50), WAIT_TIMEOUT);
    CloseHandle(hStop);
}

// Closing a socket while another thread waits on its event closes the connection at once, and
// the wait goes on for its other handles.
TEST_F(WinSockTest, socketClosedDuringAWaitClosesAndTheWaitGoesOn)
{
    const unsigned short nPort = FreeLoopbackPort();
    const SOCKET hListener = Listener(nPort);
    const SOCKET hClient = Connected(nPort);
    const SOCKET hServer = Winsock::accept(hListener, nullptr, nullptr);
    ASSERT_EQ(Winsock::WSAEventSelect(hServer, m_hEvent, FD_READ | FD_CLOSE), 0);
    const HANDLE hStop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD dwResult = WAIT_FAILED;
    std::atomic<ThreadId> nWaiter{0};
    std::thread waiter([&] {
        nWaiter = KernelThreadId();
        const HANDLE handles[] = {m_hEvent, hStop};
        dwResult = WaitForMultipleObjects(2, handles, FALSE, kWaitMs);
    });
    const WSAEVENT hClientEvent = Winsock::WSACreateEvent();
    ASSERT_EQ(Winsock::WSAEventSelect(hClient, hClientEvent, FD_CLOSE), 0);
    while (nWaiter == 0)
        std::this_thread::yield();
    ASSERT_TRUE(WaitUntilThreadSleeps(nWaiter));
    Winsock::closesocket(hServer);
    EXPECT_EQ(WaitForSingleObject(hClientEvent, kWaitMs), WAIT_OBJECT_0);
    Winsock::WSACloseEvent(hClientEvent);
    // The wait looked again at its handles and went on waiting for the others.
    ASSERT_TRUE(WaitUntilThreadSleeps(nWaiter));
    SetEvent(hStop);
    waiter.join();
    EXPECT_EQ(dwResult, WAIT_OBJECT_0 + 1);
    CloseHandle(hStop);
}
