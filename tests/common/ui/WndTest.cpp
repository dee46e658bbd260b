// SPDX-License-Identifier: GPL-3.0-or-later
#include "Wnd.h"

#include "ThreadState.h"
#include "UiTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace
{

constexpr UINT kTestMessage = 0x0400;

// A window that records the messages it is offered and handles.
class CRecordingWnd : public CPlainWindow
{
public:
    using CPlainWindow::CPlainWindow;

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        m_Offered.push_back(pMsg->wParam);
        return pMsg->wParam == m_nSwallow;
    }

    std::vector<WPARAM> m_Offered;
    std::vector<WPARAM> m_Handled;
    WPARAM m_nSwallow = 0xFFFF;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kTestMessage)
            m_Handled.push_back(wParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

} // namespace

TEST(WndTest, postedMessagesArriveInOrderThroughTheHooks)
{
    CRecordingWnd parent;
    CRecordingWnd child(&parent);
    EXPECT_EQ(child.GetParent(), &parent);
    parent.m_nSwallow = 2;
    for (WPARAM n : {1, 2, 3})
        child.PostMessage(kTestMessage, n, 0);
    ASSERT_TRUE(WaitFor([&] { return child.m_Handled.size() == 2; }));
    EXPECT_EQ(child.m_Offered, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_EQ(parent.m_Offered, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_EQ(child.m_Handled, (std::vector<WPARAM>{1, 3}));
}

TEST(WndTest, callFromAnotherThreadRunsOnTheWindowThreadWhileTheCallerWaits)
{
    CRecordingWnd window;
    std::atomic<bool> bReturned{false};
    bool bRanOnWindowThread = false;
    bool bRan = false;
    std::thread caller([&] {
        bRan = window.SendCall([&] { bRanOnWindowThread = CWnd::IsOnWindowThread(); });
        bReturned = true;
    });
    ASSERT_TRUE(WaitFor([&] { return bReturned.load(); }));
    caller.join();
    EXPECT_TRUE(bRan);
    EXPECT_TRUE(bRanOnWindowThread);
    EXPECT_EQ(window.SendMessage(kTestMessage, 9, 0), 0);
    EXPECT_EQ(window.m_Handled, std::vector<WPARAM>{9});
}

TEST(WndTest, destroyingTheWindowReleasesAWaitingCaller)
{
    auto pWindow = std::make_unique<CRecordingWnd>();
    std::atomic<ThreadId> nCaller{0};
    std::atomic<int> nResult{-1};
    std::thread caller([&] {
        nCaller = KernelThreadId();
        nResult = pWindow->SendCall([] {}) ? 1 : 0;
    });
    // The window's thread runs no events before the window is gone, so the call can never run:
    // the caller, blocked waiting for it, must come back with false.
    while (nCaller == 0)
        std::this_thread::yield();
    ASSERT_TRUE(WaitUntilThreadSleeps(nCaller));
    DestroyPlainWindow(pWindow->GetSafeHwnd());
    // The window thread runs again, as it would after the window went.
    EXPECT_TRUE(WaitFor([&] { return nResult != -1; }));
    caller.join();
    EXPECT_EQ(nResult.load(), 0);
}

TEST(WndTest, noMessageReachesAWindowThatHasGone)
{
    CRecordingWnd parent;
    auto pChild = std::make_unique<CRecordingWnd>(&parent);
    CWnd* pChildWnd = pChild.get();
    DestroyPlainWindow(parent.GetSafeHwnd());
    EXPECT_FALSE(pChildWnd->IsWindow());
    EXPECT_FALSE(pChildWnd->PostMessage(kTestMessage, 1, 0));
    EXPECT_FALSE(pChildWnd->SendCall([] {}));
}
