// SPDX-License-Identifier: GPL-3.0-or-later
// Real sharing, end to end and over the protocol: the tests' copy of Tarnlow Server, over the
// machine's own sharing service, runs in a gateway namespace between a "LAN" namespace and an
// "ISP" namespace beyond its uplink. The test makes all three as root and removes them after;
// nothing it does touches the machine's own network.
#pragma once

#include "ControlProtocol.h"
#include "ServerProcessTest.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <thread>

namespace GatewayNetns
{

inline const std::string kSuffix = std::to_string(::getpid());
inline const std::string kGateway = "tl-gw-" + kSuffix;
inline const std::string kLan = "tl-lan-" + kSuffix;
inline const std::string kIsp = "tl-isp-" + kSuffix;
// The gateway's LAN side and its uplink, shown as dial-up through the tests' seam.
inline constexpr const char* kLanLink = "gw-lan";
inline constexpr const char* kUplink = "gw-isp";
inline constexpr const char* kIspAddress = "10.77.2.2";
inline constexpr const char* kUplinkAddress = "10.77.2.1";
// The server listens on the first address of the gateway, its LAN side, as clients there reach it.
inline constexpr const char* kServerAddress = "10.77.1.1";
inline constexpr unsigned short kIspPort = 8080;

inline bool Run(const std::string& strCommand)
{
    return std::system(strCommand.c_str()) == 0;
}

// What a command run in the gateway writes, its first line.
inline std::string InGateway(const std::string& strCommand)
{
    std::string strLine;
    if (std::FILE* pOut = ::popen(("ip netns exec " + kGateway + " " + strCommand).c_str(), "r")) {
        char cLine[256] = {};
        if (std::fgets(cLine, sizeof cLine, pOut) != nullptr)
            strLine = cLine;
        ::pclose(pOut);
    }
    return strLine.substr(0, strLine.find('\n'));
}

inline bool MakeNamespaces()
{
    const std::string strGw = "ip -n " + kGateway + " ";
    return Run("ip netns add " + kGateway) && Run("ip netns add " + kLan) &&
           Run("ip netns add " + kIsp) &&
           Run(strGw + "link add name gw-lan type veth peer name lan0 netns " + kLan) &&
           Run(strGw + "link add name gw-isp type veth peer name isp0 netns " + kIsp) &&
           // A spare pair whose far end is down: one shows no carrier, the other is switched off.
           Run(strGw + "link add name gw-spare type veth peer name gw-spare-peer") &&
           Run(strGw + "addr add 10.77.1.1/24 dev gw-lan") &&
           Run(strGw + "addr add 10.77.2.1/24 dev gw-isp") && Run(strGw + "link set lo up") &&
           Run(strGw + "link set gw-lan up") && Run(strGw + "link set gw-isp up") &&
           Run(strGw + "link set gw-spare up") &&
           Run("ip -n " + kLan + " addr add 10.77.1.2/24 dev lan0") &&
           Run("ip -n " + kLan + " link set lan0 up") &&
           // A phone's browser talks to its WebDriver over its own loopback.
           Run("ip -n " + kLan + " link set lo up") &&
           Run("ip -n " + kLan + " route add default via 10.77.1.1") &&
           // The ISP knows no way back to the LAN: only masquerading lets answers return.
           Run("ip -n " + kIsp + " addr add 10.77.2.2/24 dev isp0") &&
           Run("ip -n " + kIsp + " link set isp0 up");
}

// The uplink made anew under a name, a veth pair to the ISP with their addresses, as the
// namespaces were made.
inline bool MakeUplink(const std::string& strName)
{
    const std::string strGw = "ip -n " + kGateway + " ";
    return Run(strGw + "link add name " + strName + " type veth peer name isp0 netns " + kIsp) &&
           Run(strGw + "addr add 10.77.2.1/24 dev " + strName) &&
           Run(strGw + "link set " + strName + " up") &&
           Run("ip -n " + kIsp + " addr add 10.77.2.2/24 dev isp0") &&
           Run("ip -n " + kIsp + " link set isp0 up");
}

inline void RemoveNamespaces()
{
    for (const std::string& strName : {kGateway, kLan, kIsp})
        Run("ip netns del " + strName + " 2>/dev/null");
}

// Moves the calling thread into the namespace; sockets it then makes belong there for good.
inline bool Enter(const std::string& strNamespace)
{
    const int nFd = ::open(("/run/netns/" + strNamespace).c_str(), O_RDONLY | O_CLOEXEC);
    const bool bEntered = nFd >= 0 && ::setns(nFd, CLONE_NEWNET) == 0;
    if (nFd >= 0)
        ::close(nFd);
    return bEntered;
}

inline int TcpSocketIn(const std::string& strNamespace)
{
    int s = -1;
    std::thread([&] {
        if (Enter(strNamespace))
            s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    }).join();
    return s;
}

inline sockaddr_in AddressOf(const char* pszAddress, unsigned short nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    ::inet_pton(AF_INET, pszAddress, &address.sin_addr);
    return address;
}

inline bool WaitFor(int s, short nEvents, int nTimeoutMs)
{
    pollfd pfd{s, nEvents, 0};
    return ::poll(&pfd, 1, nTimeoutMs) == 1;
}

// A TCP connection made from the namespace; -1 when it is not made within the time.
inline int ConnectFrom(const std::string& strNamespace, const char* pszAddress,
                       unsigned short nPort, int nTimeoutMs)
{
    const int s = TcpSocketIn(strNamespace);
    const sockaddr_in address = AddressOf(pszAddress, nPort);
    ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    int nError = -1;
    socklen_t nLength = sizeof(nError);
    if (WaitFor(s, POLLOUT, nTimeoutMs))
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &nError, &nLength);
    if (nError == 0)
        return s;
    ::close(s);
    return -1;
}

// A listener on the ISP's side, for the LAN to reach through the gateway.
inline int ListenAtIsp()
{
    const int s = TcpSocketIn(kIsp);
    const sockaddr_in address = AddressOf(kIspAddress, kIspPort);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(s, 8) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

inline bool HasEntry(const std::vector<std::string>& messages, const std::string& strEntry)
{
    return std::find(messages.begin(), messages.end(), strEntry) != messages.end();
}

} // namespace GatewayNetns

class CGatewayNetnsTest : public CServerProcessTest
{
protected:
    static constexpr const char* kNoConnection = "(no connection)";

    // The server runs in the test's own gateway namespace, whatever network this one has.
    void SetUp() override {}

    // Skips the test where the namespaces cannot be made, and says why.
    static bool CanMakeNamespaces() { return ::geteuid() == 0; }

    // The server is started from a thread in the gateway, so that it runs there.
    void StartInGateway()
    {
        // The uplink, and the names it takes when it is renamed or replaced.
        ::setenv("TARNLOW_TEST_DIALUP", "gw-isp,gw-isp2,gw-new", 1);
        // However slow the machine, the tests' five undoings of a sharing fall within it.
        ::setenv("TARNLOW_TEST_UNDONE_WINDOW", "3600", 1);
        std::thread([this] {
            ASSERT_TRUE(GatewayNetns::Enter(GatewayNetns::kGateway));
            Start();
        }).join();
        ASSERT_TRUE(m_pServer);
    }

    // One request as a client in the namespace makes it (the LAN's, or the gateway's own over
    // loopback); waits until the server waits again.
    std::string Ask(const std::string& strRequest, const std::string& strFrom = GatewayNetns::kLan,
                    int nConnectTimeoutMs = 5000)
    {
        const std::size_t nBefore = m_pServer->Lines().size();
        const int s = GatewayNetns::ConnectFrom(strFrom, GatewayNetns::kServerAddress, kServerPort,
                                                nConnectTimeoutMs);
        if (s < 0)
            return kNoConnection;
        ::send(s, strRequest.data(), strRequest.size(), MSG_NOSIGNAL);
        const std::string strReply = ReadUntilClosed(s);
        ::close(s);
        EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
        return strReply;
    }

    std::vector<ControlProtocol::SConnectionEntry>
    List(const std::string& strFrom = GatewayNetns::kLan)
    {
        std::vector<ControlProtocol::SConnectionEntry> entries;
        EXPECT_TRUE(ControlProtocol::ReadConnectionListReply(
            Ask(m_strHost + ":" + ControlProtocol::kConnectionList, strFrom), entries));
        return entries;
    }

    int IndexOf(const std::string& strName, const std::string& strFrom = GatewayNetns::kLan)
    {
        const std::vector<ControlProtocol::SConnectionEntry> entries = List(strFrom);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].strName == strName)
                return static_cast<int>(i);
        }
        return -1;
    }

    // Opens a TCP connection from the LAN to the ISP; gives the address that the ISP saw it come
    // from, or "" when it did not get through within a second.
    std::string ReachIspFromLan() const
    {
        const int s = GatewayNetns::ConnectFrom(GatewayNetns::kLan, GatewayNetns::kIspAddress,
                                                GatewayNetns::kIspPort, 1000);
        std::string strSource;
        if (s >= 0 && GatewayNetns::WaitFor(m_nIspListener, POLLIN, 1000)) {
            sockaddr_in peer{};
            socklen_t nPeerLength = sizeof(peer);
            const int nAccepted =
                ::accept(m_nIspListener, reinterpret_cast<sockaddr*>(&peer), &nPeerLength);
            char cText[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &peer.sin_addr, cText, sizeof(cText));
            strSource = cText;
            ::close(nAccepted);
        }
        if (s >= 0)
            ::close(s);
        return strSource;
    }

    // Shares or unshares the uplink, asked from the namespace; gives the log entries it made.
    std::vector<std::string> ChangeUplink(bool bShare,
                                          const std::string& strFrom = GatewayNetns::kLan)
    {
        using namespace ControlProtocol;
        const int nUplink = IndexOf(GatewayNetns::kUplink, strFrom);
        const std::size_t nBefore = m_pServer->Lines().size();
        EXPECT_EQ(Ask(m_strHost + ":" + (bShare ? ShareCommand(nUplink) : UnshareCommand(nUplink)),
                      strFrom),
                  m_strHost + ":" + kOkay);
        return MessagesSince(nBefore);
    }

    int m_nIspListener = -1;
};

// The namespaces and the ISP's listener are made once for a suite, and removed after it; each test
// starts the server in the gateway.
class CGatewaySuiteTest : public CGatewayNetnsTest
{
protected:
    static void SetUpTestSuite()
    {
        if (!CanMakeNamespaces())
            GTEST_SKIP() << "making the gateway, LAN and ISP namespaces needs root";
        ASSERT_TRUE(GatewayNetns::MakeNamespaces()) << "the namespaces could not be made";
        s_nIspListener = GatewayNetns::ListenAtIsp();
        ASSERT_GE(s_nIspListener, 0);
    }

    static void TearDownTestSuite()
    {
        if (s_nIspListener >= 0)
            ::close(s_nIspListener);
        s_nIspListener = -1;
        GatewayNetns::RemoveNamespaces();
    }

    void SetUp() override
    {
        m_nIspListener = s_nIspListener;
        StartInGateway();
    }

    static inline int s_nIspListener = -1;
};
