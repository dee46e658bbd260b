// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sockets.h"

#include "LoopbackPort.h"
#include "TraceCapture.h"

#include <cstring>
#include <gtest/gtest.h>

namespace
{

constexpr long kListenerEvents = FD_READ | FD_ACCEPT | FD_CONNECT;
constexpr DWORD kWaitMs = 5000;

class SocketsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_Server.StartSockets()); }
    void TearDown() override
    {
        m_Client.SocketClose();
        m_Server.SocketClose();
        m_Server.ShutdownSockets();
    }

    void Listen(unsigned short nPort)
    {
        const int nReuse = 1;
        ASSERT_TRUE(m_Server.SocketCreate());
        ASSERT_TRUE(m_Server.SocketSetOption(SOL_SOCKET, SO_REUSEADDR,
                                             reinterpret_cast<const char*>(&nReuse), 4));
        Address(m_Server, nPort);
        ASSERT_TRUE(m_Server.SocketBind());
        ASSERT_TRUE(m_Server.SocketSetListen());
    }

    static void Address(CSockets& sockets, unsigned short nPort)
    {
        sockets.SocketAddressClear();
        sockets.SocketAddressSetFamily(AF_INET);
        sockets.SocketAddressSetPort(nPort);
        sockets.SocketAddressSetAddress("127.0.0.1");
    }

    bool Connect(unsigned short nPort)
    {
        if (!m_Client.SocketCreate())
            return false;
        Address(m_Client, nPort);
        return m_Client.SocketConnect();
    }

    SOCKET Accept()
    {
        sockaddr_in peer{};
        int nLength = sizeof peer;
        const SOCKET hClient =
            m_Server.SocketAccept(m_Server, reinterpret_cast<sockaddr*>(&peer), &nLength);
        if (hClient != INVALID_SOCKET)
            m_strPeer = Winsock::inet_ntoa(peer.sin_addr);
        return hClient;
    }

    CSockets m_Server;
    CSockets m_Client;
    std::string m_strPeer;
};

} // namespace

TEST(SocketsLifetimeTest, objectNeverStartedFreesAndClosesNothing)
{
    CTraceCapture capture;
    {
        CSockets sockets;
        EXPECT_EQ(sockets.GetLocalAddressCount(), 0);
        EXPECT_EQ(sockets.GetLocalAddress(0), "");
    }
    EXPECT_EQ(capture.Text(), "CSockets::CSockets()\nCSockets::~CSockets()\n");
}

TEST(SocketsLifetimeTest, otherWinsockVersionFailsAndStopsWinsockAgain)
{
    Winsock::OfferVersionForTests(MAKEWORD(2, 1));
    CSockets sockets;
    CTraceCapture capture;
    const bool bStarted = sockets.StartSockets();
    const bool bRunning = sockets.GetSocketsInit();
    const std::string strTrace = capture.Text();
    Winsock::OfferVersionForTests(0);
    EXPECT_FALSE(bStarted);
    EXPECT_FALSE(bRunning);
    EXPECT_EQ(strTrace, "CSockets::StartSockets()\nCSockets::ShutdownSockets()\n"
                        "CSockets::GetSocketsInit(): Sockets running: No\n");
    // Its WSACleanup balanced the WSAStartup: no start is left to clean up.
    EXPECT_EQ(Winsock::WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(sockets.GetLocalAddressCount(), 0);
}

TEST(SocketsLifetimeTest, socketsRunningFlagSurvivesShutdown)
{
    CSockets sockets;
    ASSERT_TRUE(sockets.StartSockets());
    sockets.ShutdownSockets();
    CTraceCapture capture;
    EXPECT_TRUE(sockets.GetSocketsInit());
    EXPECT_EQ(capture.Text(), "CSockets::GetSocketsInit(): Sockets running: Yes\n");
}

TEST_F(SocketsTest, closeWithoutSocketOnlyTracesAndSecondCloseClosesNothing)
{
    ASSERT_TRUE(m_Client.SocketCreate());
    CTraceCapture capture;
    m_Client.SocketClose();
    // The freed descriptor number goes to the next socket; a second close must leave it alone.
    const SOCKET hOther = Winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_Client.SocketClose();
    EXPECT_EQ(capture.Text(), "CSockets::SocketClose()\nCSockets::SocketClose()\n");
    // Still open: closing it now succeeds.
    EXPECT_EQ(Winsock::closesocket(hOther), 0);
}

TEST_F(SocketsTest, eachOperationWritesItsTrace)
{
    const unsigned short nPort = FreeLoopbackPort();
    CTraceCapture capture;
    Listen(nPort);
    m_Server.SocketSetPort(4242);
    EXPECT_EQ(m_Server.SocketGetPort(), 4242);
    m_Server.SocketShutdown();
    m_Server.SocketClose();
    EXPECT_EQ(capture.Text(), "CSockets::SocketCreate()\n"
                              "CSockets::SocketSetOption()\n"
                              "CSockets::SocketAddressClear()\n"
                              "CSockets::SocketAddressSetFamily()\n"
                              "CSockets::SocketAddressSetPort()\n"
                              "CSockets::SocketAddressSetAddress()\n"
                              "CSockets::SocketBind()\n"
                              "CSockets::SocketSetListen()\n"
                              "CSockets::SocketSetPort()\n"
                              "CSockets::SocketGetPort()\n"
                              "CSockets::SocketShutdown()\n"
                              "CSockets::SocketClose()\n");
}

TEST_F(SocketsTest, requestAndReplyTravelOverLoopback)
{
    const unsigned short nPort = FreeLoopbackPort();
    Listen(nPort);
    ASSERT_TRUE(Connect(nPort));
    CTraceCapture capture;
    const SOCKET hClient = Accept();
    ASSERT_NE(hClient, INVALID_SOCKET);
    EXPECT_EQ(m_strPeer, "127.0.0.1");
    EXPECT_EQ(m_Client.SocketSend("PC7:Hello", 9, 0), 9);
    char cBuffer[2048] = {};
    EXPECT_EQ(m_Server.SocketReceive(hClient, cBuffer, sizeof cBuffer, 0), 9);
    EXPECT_STREQ(cBuffer, "PC7:Hello");
    EXPECT_EQ(m_Server.SocketSend(hClient, "SERVER1:Hello", 13, 0), 13);
    Winsock::closesocket(hClient);
    char cReply[1024] = {};
    EXPECT_EQ(m_Client.SocketReceive(cReply, sizeof cReply, 0), 13);
    EXPECT_STREQ(cReply, "SERVER1:Hello");
    EXPECT_EQ(m_Client.SocketReceive(cReply, sizeof cReply, 0), 0);
    // Only accept traces; send and receive are silent.
    EXPECT_EQ(capture.Text(), "CSockets::SocketAccept()\n");
}

TEST_F(SocketsTest, failedConnectTracesWinsockErrorAndKeepsTheSocket)
{
    const unsigned short nPort = FreeLoopbackPort();
    ASSERT_TRUE(m_Client.SocketCreate());
    Address(m_Client, nPort);
    CTraceCapture capture;
    EXPECT_FALSE(m_Client.SocketConnect());
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAECONNREFUSED);
    EXPECT_EQ(capture.Text(), "CSockets::SocketConnect(): connect() returned 10061\n");
    const int nReuse = 1;
    EXPECT_TRUE(m_Client.SocketSetOption(SOL_SOCKET, SO_REUSEADDR,
                                         reinterpret_cast<const char*>(&nReuse), 4));
}

TEST_F(SocketsTest, portInUseFailsBindWithWinsockNumber)
{
    const unsigned short nPort = FreeLoopbackPort();
    Listen(nPort);
    CSockets second;
    ASSERT_TRUE(second.SocketCreate());
    Address(second, nPort);
    EXPECT_FALSE(second.SocketBind());
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEADDRINUSE);
    second.SocketClose();
}

TEST_F(SocketsTest, eventSelectionWakesTheWaitAndPassesToAcceptedSockets)
{
    const unsigned short nPort = FreeLoopbackPort();
    Listen(nPort);
    const WSAEVENT hEvent = Winsock::WSACreateEvent();
    const HANDLE hStop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(m_Server.SocketWSAEventSelect(hEvent, kListenerEvents));
    const HANDLE handles[] = {hEvent, hStop};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 50), WAIT_TIMEOUT);

    ASSERT_TRUE(Connect(nPort));
    ASSERT_EQ(WaitForMultipleObjects(2, handles, FALSE, kWaitMs), WAIT_OBJECT_0);
    WSANETWORKEVENTS events{};
    ASSERT_TRUE(m_Server.SocketWSAEnumNetworkEvents(hEvent, &events));
    EXPECT_EQ(events.lNetworkEvents, FD_ACCEPT);
    EXPECT_EQ(events.iErrorCode[FD_ACCEPT_BIT], 0);
    const SOCKET hClient = Accept();
    ASSERT_NE(hClient, INVALID_SOCKET);

    // The accepted socket does not block, and its arriving data signals the same event.
    char cBuffer[64] = {};
    EXPECT_EQ(m_Server.SocketReceive(hClient, cBuffer, sizeof cBuffer, 0), SOCKET_ERROR);
    EXPECT_EQ(Winsock::WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(m_Client.SocketSend("Hello", 5, 0), 5);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(m_Server.SocketReceive(hClient, cBuffer, sizeof cBuffer, 0), 5);
    // The listening socket has no event of its own to report, but its enumeration resets the
    // event object all the same.
    ASSERT_TRUE(m_Server.SocketWSAEnumNetworkEvents(hEvent, &events));
    EXPECT_EQ(events.lNetworkEvents, 0);

    // The stop event wakes the same wait.
    ASSERT_TRUE(SetEvent(hStop));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, kWaitMs), WAIT_OBJECT_0 + 1);
    Winsock::closesocket(hClient);
    Winsock::WSACloseEvent(hEvent);
    CloseHandle(hStop);
}

TEST_F(SocketsTest, hostNameIsTheSystemsName)
{
    char cName[256] = {};
    ASSERT_EQ(::gethostname(cName, sizeof cName - 1), 0);
    EXPECT_EQ(m_Server.GetLocalHostName(), cName);
}

// Whatever order the system lists them in, loopback comes last.
TEST_F(SocketsTest, localAddressesListLoopbackLastAndStayInBounds)
{
    const int nCount = m_Server.GetLocalAddressCount();
    ASSERT_GE(nCount, 1);
    ASSERT_LE(nCount, CSockets::kMaxLocalAddresses);
    bool bLoopbackSeen = false;
    for (int i = 0; i < nCount; ++i) {
        const bool bLoopback = m_Server.GetLocalAddress(i).rfind("127.", 0) == 0;
        EXPECT_FALSE(bLoopbackSeen && !bLoopback) << "address after loopback: " << i;
        bLoopbackSeen = bLoopbackSeen || bLoopback;
        EXPECT_NE(Winsock::inet_addr(m_Server.GetLocalAddress(i).c_str()), INADDR_NONE);
    }
    EXPECT_EQ(m_Server.GetLocalAddress(nCount), "");
    EXPECT_EQ(m_Server.GetLocalAddress(-1), "");
}
