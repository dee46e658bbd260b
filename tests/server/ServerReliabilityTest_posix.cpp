// SPDX-License-Identifier: GPL-3.0-or-later
// The real tarnlow-server under load and against clients that misbehave: every good request is
// answered and logged, every bad one costs only its own connection, and the server still closes
// cleanly in the middle of it all.
#include "ServerProcessTest.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

namespace
{

using namespace std::chrono_literals;

class ServerReliabilityTest : public CServerProcessTest
{
protected:
    std::string ListReply(bool bShared = false) const
    {
        return m_strHost + ":2:(Local Area Connection:Connected:Lan:False:)(My ISP:Disconnected:" +
               "Dialup:" + (bShared ? "True" : "False") + ":)";
    }

    // The log's messages that start with the text, once there are as many as expected (or after
    // the patience has run out).
    std::vector<std::string> LoggedStartingWith(const std::string& strStart, std::size_t nExpected)
    {
        std::vector<std::string> logged;
        const auto deadline = std::chrono::steady_clock::now() + m_Patience;
        do {
            logged.clear();
            for (const std::string& strMessage : Messages(m_pServer->Lines())) {
                if (strMessage.rfind(strStart, 0) == 0)
                    logged.push_back(strMessage);
            }
            if (logged.size() >= nExpected)
                break;
            std::this_thread::sleep_for(10ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return logged;
    }

    std::size_t CountLogged(const std::string& strMessage)
    {
        const std::vector<std::string> messages = Messages(m_pServer->Lines());
        return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), strMessage));
    }
};

} // namespace

TEST_F(ServerReliabilityTest, aThousandGreetingsAndListsInSequenceAreAllAnsweredAndLogged)
{
    Start();
    constexpr int kRounds = 1000;
    std::vector<std::string> expected;
    int nWrong = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string strClient = "PC" + std::to_string(i);
        nWrong += Exchange(strClient + ":Hello", kServerPort) != m_strHost + ":Hello";
        nWrong += Exchange(strClient + ":ConnectionList", kServerPort) != ListReply();
        expected.push_back("Message Received: " + strClient + ":Hello");
        expected.push_back("Message Received: " + strClient + ":ConnectionList");
    }
    EXPECT_EQ(nWrong, 0);
    EXPECT_EQ(LoggedStartingWith("Message Received: ", expected.size()), expected);
    EXPECT_EQ(LoggedStartingWith("Replied with: ", kRounds).size(), std::size_t{kRounds});
    StopAndExpectCleanExit();
}

TEST_F(ServerReliabilityTest, fiftyClientsConnectingAtOnceAreAllAnswered)
{
    Start();
    constexpr int kClients = 50;
    std::vector<std::future<std::string>> replies;
    for (int i = 0; i < kClients; ++i)
        replies.push_back(std::async(std::launch::async, [i] {
            return Exchange("PC" + std::to_string(i) + ":Hello", kServerPort);
        }));
    for (int i = 0; i < kClients; ++i)
        EXPECT_EQ(replies[i].get(), m_strHost + ":Hello") << "client " << i;
    EXPECT_EQ(LoggedStartingWith("Replied with: ", kClients).size(), std::size_t{kClients});
    StopAndExpectCleanExit();
}

TEST_F(ServerReliabilityTest, silentHoldersAmongGoodClientsCostOnlyTheirOwnConnections)
{
    Start();
    constexpr int kHolders = 20;
    std::vector<int> holders;
    std::vector<std::future<std::string>> replies;
    for (int i = 0; i < kHolders; ++i) {
        holders.push_back(ConnectLoopback(kServerPort));
        replies.push_back(std::async(std::launch::async, [i] {
            return Exchange("PC" + std::to_string(i) + ":ConnectionList", kServerPort);
        }));
    }
    for (int i = 0; i < kHolders; ++i)
        EXPECT_EQ(replies[i].get(), ListReply()) << "client " << i;
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    EXPECT_EQ(CountLogged("Communication with client garbled"), std::size_t{kHolders});
    for (const int nHolder : holders) {
        EXPECT_EQ(ReadUntilClosed(nHolder, 1000), "");
        ::close(nHolder);
    }
    StopAndExpectCleanExit();
}

TEST_F(ServerReliabilityTest, resetsBeforeAndAfterSendingCostOnlyTheirOwnConnections)
{
    Start();
    for (int i = 0; i < 5; ++i) {
        ResetConnection(ConnectLoopback(kServerPort));
        const int nClient = ConnectLoopback(kServerPort);
        ::send(nClient, "PC7:Share:1", 11, MSG_NOSIGNAL);
        ResetConnection(nClient);
        EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello") << "round " << i;
    }
    StopAndExpectCleanExit();
}

TEST_F(ServerReliabilityTest, oversizedBinaryAndPiecewiseRequestsAreAnswered)
{
    Start();
    // 64 KiB: the request is the text up to the first NUL and the rest is never used, yet the
    // connection ends in an orderly close: a reset would throw away the reply at many clients.
    std::string strLong = "PC7:Hello";
    strLong.resize(64 * 1024, '\0');
    bool bReset = false;
    EXPECT_EQ(Exchange(strLong, kServerPort, &bReset), m_strHost + ":Hello");
    EXPECT_FALSE(bReset);
    EXPECT_EQ(Exchange(std::string(64 * 1024, 'x'), kServerPort, &bReset), m_strHost + ":Unknown");
    EXPECT_FALSE(bReset);

    EXPECT_EQ(Exchange(std::string("\xff\xfe\x01:Hello", 9), kServerPort), m_strHost + ":Hello");
    EXPECT_EQ(Exchange(std::string("\0\0PC7:Hello", 11), kServerPort), m_strHost + ":Unknown");

    // Pieces that arrive within the server's pause before it reads are one request; a piece
    // after the read is not part of it.
    EXPECT_EQ(ExchangeInPieces({"PC7:Connection", "List"}, 10, kServerPort), ListReply());
    EXPECT_EQ(ExchangeInPieces({"PC7:Hel", "lo"}, 300, kServerPort), m_strHost + ":Unknown");
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    // The request of NULs first is logged as empty text.
    EXPECT_EQ(CountLogged("Message Received: "), 1u);
    StopAndExpectCleanExit();
}

TEST_F(ServerReliabilityTest, terminationUnderLoadClosesCleanlyWithinTenSeconds)
{
    Start();
    std::atomic<bool> bStop{false};
    std::atomic<int> nAnswered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&, i] {
            const std::string strRequest = i % 2 == 0 ? "PC7:Hello" : "PC7:Share:1";
            while (!bStop) {
                if (!Exchange(strRequest, kServerPort).empty())
                    ++nAnswered;
            }
        });
    std::vector<int> holders;
    for (int i = 0; i < 4; ++i)
        holders.push_back(ConnectLoopback(kServerPort));
    // The storm is under way: the server has answered several of its requests.
    const auto deadline = std::chrono::steady_clock::now() + m_Patience;
    while (nAnswered < 8 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_GE(nAnswered.load(), 8);
    StopAndExpectCleanExit();
    bStop = true;
    for (std::thread& client : clients)
        client.join();
    for (const int nHolder : holders)
        ::close(nHolder);
    EXPECT_GT(nAnswered.load(), 0);
}
