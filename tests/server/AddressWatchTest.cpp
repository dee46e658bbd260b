// SPDX-License-Identifier: GPL-3.0-or-later
// The watch of the machine's addresses: a request is asked for only while none is pending, a
// change signals it, and it is asked for again after each; a cancelled one is complete before the
// next. Run in a loopback-only namespace, where the test changes loopback's addresses.
#include "AddressWatch.h"

#include "LoopbackClient.h"
#include "TestPlatform.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace
{

// A change of the namespace's IPv4 addresses: another address on loopback comes or goes.
bool ChangeAnAddress(bool bAdd)
{
    return std::system(bAdd ? "ip addr add 127.0.0.2/8 dev lo"
                            : "ip addr del 127.0.0.2/8 dev lo") == 0;
}

class AddressWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
    }
};

TEST_F(AddressWatchTest, ARequestIsAskedForOnlyWhileNoneIsPendingAndAgainAfterEachChange)
{
    CAddressWatch watch;
    ASSERT_TRUE(watch.Arm());
    // The system fails a second request on the same OVERLAPPED: none is made.
    ASSERT_TRUE(watch.Arm());
    EXPECT_TRUE(watch.IsArmed());
    EXPECT_EQ(WaitForSingleObject(watch.Event(), 0), WAIT_TIMEOUT);
    // Cancelled and asked for again, as the listener does at its end and start.
    watch.Disarm();
    EXPECT_FALSE(watch.IsArmed());
    ASSERT_TRUE(watch.Arm());
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the namespace's addresses are changed with Linux's ip";
    for (const bool bAdd : {true, false}) {
        ASSERT_TRUE(ChangeAnAddress(bAdd));
        EXPECT_EQ(WaitForSingleObject(watch.Event(), 30000), WAIT_OBJECT_0);
        ASSERT_TRUE(watch.Arm());
        EXPECT_EQ(WaitForSingleObject(watch.Event(), 0), WAIT_TIMEOUT) << "asked for anew";
    }
}

// A change that came as the watch was let go (the listener's stop) leaves no descriptor of the
// request behind, in the process's life.
TEST_F(AddressWatchTest, AChangeThatCameAsTheWatchWasLetGoLeavesNothingBehind)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "descriptors are counted in Linux's /proc";
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    CAddressWatch watch;
    const auto nBefore = descriptors();
    ASSERT_TRUE(watch.Arm());
    ASSERT_TRUE(ChangeAnAddress(true));
    ASSERT_EQ(WaitForSingleObject(watch.Event(), 30000), WAIT_OBJECT_0);
    watch.Disarm();
    EXPECT_EQ(descriptors(), nBefore);
    EXPECT_FALSE(watch.IsArmed());
    ASSERT_TRUE(ChangeAnAddress(false));
}

// Our layer is Windows' to the letter: a second request on a pending OVERLAPPED fails, and a
// cancelled one reports that it was.
TEST_F(AddressWatchTest, TheSystemFailsASecondRequestAndReportsACancelledOne)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "Wine's NotifyAddrChange is not checked for this";
    const HANDLE hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = hEvent;
    HANDLE hNotification = nullptr;
    ASSERT_EQ(NotifyAddrChange(&hNotification, &overlapped), ERROR_IO_PENDING);
    EXPECT_EQ(NotifyAddrChange(&hNotification, &overlapped), ERROR_INVALID_PARAMETER);
    DWORD dwBytes = 0;
    EXPECT_FALSE(GetOverlappedResult(hNotification, &overlapped, &dwBytes, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    ASSERT_TRUE(CancelIPChangeNotify(&overlapped));
    EXPECT_FALSE(GetOverlappedResult(hNotification, &overlapped, &dwBytes, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    CloseHandle(hEvent);
}

} // namespace
