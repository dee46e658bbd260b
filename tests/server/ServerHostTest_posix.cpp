// SPDX-License-Identifier: GPL-3.0-or-later
// The host follows the LAN's address on its clock: a veth pair made in the test's own namespace
// stands for the LAN, whose address the server cannot listen at yet.
#include "HeldLan_posix.h"
#include "ServerHostFixture.h"

using ServerHostTest = CServerHostTest;

namespace
{

constexpr const char* kCannotListen =
    "The server cannot listen at 192.168.77.1 yet, and listens at 127.0.0.1";

} // namespace

// Without a window, an address that cannot be had for a minute of the host's clock ends the
// server, for its service manager; the clock's retries every 2 seconds say nothing.
TEST_F(ServerHostTest, headlessTheHostGivesUpAnAddressItCannotHaveWithinAMinute)
{
    CHeldLan lan(kServerPort);
    if (!lan.IsHeld())
        GTEST_SKIP() << "this namespace cannot make a veth pair";
    Open(true);
    std::size_t nBefore = m_Recorder.Count();
    ASSERT_TRUE(lan.AddAddress());
    ASSERT_TRUE(
        m_Recorder.WaitUntil([](CRecorder& r) { return r.m_Messages.back() == kCannotListen; }));
    EXPECT_EQ(
        m_Recorder.Messages(nBefore),
        (std::vector<std::string>{"The server's address is now 192.168.77.1", kCannotListen}));
    // Each retry is a wait on the clock that the next move ends.
    for (int i = 0; i < 29; ++i) {
        ASSERT_TRUE(m_Clock.WaitUntilAsleep());
        m_Clock.Advance(CAddressFollower::kRetryEvery);
    }
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello") << "the old address is still answered";
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_nCloseRequests; }), 0);
    nBefore = m_Recorder.Count();
    ASSERT_TRUE(m_Clock.WaitUntilAsleep());
    m_Clock.Advance(CAddressFollower::kRetryEvery);
    ASSERT_TRUE(m_Recorder.WaitUntil([](CRecorder& r) { return r.m_nCloseRequests == 1; }));
    EXPECT_EQ(m_Recorder.Messages(nBefore),
              std::vector<std::string>{"Stopped listening for clients"});
    EXPECT_TRUE(m_pHost->Failed());
}

// With a window the server stays where it listens after the minute, says so, and follows the
// next change.
TEST_F(ServerHostTest, withAWindowTheHostStaysWhereItListensAfterAMinute)
{
    CHeldLan lan(kServerPort);
    if (!lan.IsHeld())
        GTEST_SKIP() << "this namespace cannot make a veth pair";
    Open(false);
    ASSERT_TRUE(lan.AddAddress());
    ASSERT_TRUE(
        m_Recorder.WaitUntil([](CRecorder& r) { return r.m_Messages.back() == kCannotListen; }));
    const std::size_t nBefore = m_Recorder.Count();
    ASSERT_TRUE(m_Clock.WaitUntilAsleep());
    m_Clock.Advance(CAddressFollower::kPatience);
    ASSERT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) { return r.m_Messages.size() > nBefore; }));
    EXPECT_EQ(m_Recorder.Messages(nBefore)[0],
              "The server stays at 127.0.0.1: it could not listen at 192.168.77.1");
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
    EXPECT_EQ(m_Recorder.Read([](CRecorder& r) { return r.m_nCloseRequests; }), 0);
    EXPECT_FALSE(m_pHost->Failed());
}
