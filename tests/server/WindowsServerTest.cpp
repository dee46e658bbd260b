// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real tarnlow-server.exe, alone in a private loopback-only network namespace, so it
// listens on its default port 10000; its log is read from its standard output.
#include "LogLines.h"
#include "WindowsProcess.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace
{

constexpr unsigned short kServerPort = 10000;

SOCKET ConnectLoopback()
{
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

std::string ReadUntilClosed(SOCKET s)
{
    const DWORD dwTimeout = 10000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwTimeout),
                 sizeof dwTimeout);
    std::string strReply;
    char cBuffer[2048];
    for (int n; (n = ::recv(s, cBuffer, sizeof cBuffer, 0)) > 0;)
        strReply.append(cBuffer, static_cast<size_t>(n));
    return strReply;
}

// True when the machine has no IPv4 address but loopback: the test's own namespace.
bool OnlyLoopback()
{
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    INTERFACE_INFO interfaces[16];
    DWORD dwBytes = 0;
    const int nResult = ::WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces,
                                   sizeof interfaces, &dwBytes, nullptr, nullptr);
    ::closesocket(s);
    if (nResult != 0)
        return false;
    for (DWORD i = 0; i < dwBytes / sizeof(INTERFACE_INFO); ++i) {
        if ((ntohl(interfaces[i].iiAddress.AddressIn.sin_addr.s_addr) >> 24) != 127)
            return false;
    }
    return true;
}

std::string HostName()
{
    char cName[257] = {};
    ::gethostname(cName, 256);
    return cName;
}

class WindowsServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WSADATA wsaData;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &wsaData), 0);
        if (!OnlyLoopback())
            GTEST_SKIP()
                << "not in a loopback-only network namespace (scripts/test mingw makes one)";
        m_pServer = std::make_unique<CWindowsProcess>(TARNLOW_SERVER_PATH);
        ASSERT_TRUE(m_pServer->IsRunning());
        ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", 20s));
    }

    void TearDown() override
    {
        m_pServer.reset();
        ::WSACleanup();
    }

    std::string Request(const std::string& strRequest)
    {
        const std::size_t nBefore = m_pServer->Lines().size();
        const SOCKET s = ConnectLoopback();
        EXPECT_NE(s, INVALID_SOCKET);
        ::send(s, strRequest.data(), static_cast<int>(strRequest.size()), 0);
        const std::string strReply = ReadUntilClosed(s);
        ::closesocket(s);
        EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", 10s, nBefore));
        return strReply;
    }

    // WM_CLOSE, as the window's close button sends it: the server ends within 10 seconds.
    void CloseAndExpectCleanExit()
    {
        const HWND hWnd = m_pServer->FindWindow("Verrow", 10s);
        ASSERT_NE(hWnd, nullptr);
        const auto start = std::chrono::steady_clock::now();
        ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
        EXPECT_EQ(m_pServer->WaitForExit(10s), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    }

    const std::string m_strHost = HostName();
    std::unique_ptr<CWindowsProcess> m_pServer;
};

} // namespace

TEST_F(WindowsServerTest, startsInOrderAnswersAGreetingAndClosesOnWmClose)
{
    EXPECT_EQ(Messages(m_pServer->Lines()),
              (std::vector<std::string>{"Program started", "Populated connection list",
                                        "TCP/IP: Starting", "TCP/IP: Started",
                                        "Listening for clients", "Waiting for a socket event"}));
    const std::size_t nBefore = m_pServer->Lines().size();
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    EXPECT_EQ(Messages(m_pServer->Lines(), nBefore),
              (std::vector<std::string>{
                  "Socket accept request received", "Accepted a connection from 127.0.0.1",
                  "Message Received: PC7:Hello", "Replied with: " + m_strHost + ":Hello",
                  "Waiting for a socket event"}));
    CloseAndExpectCleanExit();
}

TEST_F(WindowsServerTest, shareAndUnshareChangeTheNextConnectionList)
{
    const std::string strLan = "(Local Area Connection:Connected:Lan:False:)";
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:False:)");
    EXPECT_EQ(Request("PC7:Share:1"), m_strHost + ":Okay");
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:True:)");
    EXPECT_EQ(Request("PC7:Share:0"), m_strHost + ":Failed");
    EXPECT_EQ(Request("PC7:Unshare:1"), m_strHost + ":Okay");
    EXPECT_EQ(Request("PC7:ConnectionList"),
              m_strHost + ":2:" + strLan + "(My ISP:Disconnected:Dialup:False:)");
    CloseAndExpectCleanExit();
}

TEST_F(WindowsServerTest, silentAndHostileClientsAreDroppedAndServiceGoesOn)
{
    const SOCKET hSilent = ConnectLoopback();
    ASSERT_NE(hSilent, INVALID_SOCKET);
    EXPECT_TRUE(m_pServer->WaitForLine("Communication with client garbled", 10s));
    EXPECT_EQ(ReadUntilClosed(hSilent), "");
    ::closesocket(hSilent);
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");

    // Far more than a request may hold, without a colon, then an index out of range.
    Request(std::string(64 * 1024, 'A'));
    EXPECT_EQ(Request("PC7:Share:99999999999"), m_strHost + ":Failed");
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    CloseAndExpectCleanExit();
}

TEST_F(WindowsServerTest, closingWhileAClientIsServedStillEndsWithinTenSeconds)
{
    const SOCKET hSilent = ConnectLoopback();
    ASSERT_NE(hSilent, INVALID_SOCKET);
    EXPECT_TRUE(m_pServer->WaitForLine("Accepted a connection from 127.0.0.1", 10s));
    CloseAndExpectCleanExit();
    ::closesocket(hSilent);
}
