// SPDX-License-Identifier: GPL-3.0-or-later
#include "Kernel.h"
#include "TestPlatform.h"

#include "ThreadState.h"
#include "TraceCapture.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace
{

constexpr DWORD kWaitMs = 5000;

class CEvent
{
public:
    CEvent(BOOL bManualReset, BOOL bInitialState)
        : m_hEvent(CreateEventA(nullptr, bManualReset, bInitialState, nullptr))
    {
    }
    ~CEvent() { CloseHandle(m_hEvent); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    operator HANDLE() const { return m_hEvent; }

private:
    HANDLE m_hEvent;
};

// An event to set once the thread that waits for it waits.
struct SSignalOnceWaited {
    HANDLE hEvent;
    ThreadId nWaiter;
};

DWORD SetEventOnceWaited(LPVOID pParameter)
{
    const auto* pSignal = static_cast<const SSignalOnceWaited*>(pParameter);
    EXPECT_TRUE(WaitUntilThreadSleeps(pSignal->nWaiter));
    SetEvent(pSignal->hEvent);
    return 7;
}

} // namespace

TEST(KernelTest, autoResetEventReleasesOneWaitOnly)
{
    CEvent event(FALSE, TRUE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(KernelTest, manualResetEventStaysSignalledUntilReset)
{
    CEvent event(TRUE, FALSE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(KernelTest, waitOnTwoReturnsTheFirstSignalledInOrder)
{
    CEvent first(FALSE, FALSE);
    CEvent second(FALSE, TRUE);
    const HANDLE handles[] = {first, second};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(first);
    SetEvent(second);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 20), WAIT_TIMEOUT);
}

TEST(KernelTest, waitEndsWhenAnotherThreadSignals)
{
    CEvent event(FALSE, FALSE);
    SSignalOnceWaited signal{event, KernelThreadId()};
    DWORD dwThreadId = 0;
    const HANDLE hThread = CreateThread(nullptr, 0, SetEventOnceWaited, &signal, 0, &dwThreadId);
    ASSERT_NE(hThread, nullptr);
    EXPECT_NE(dwThreadId, 0u);
    EXPECT_EQ(WaitForSingleObject(event, kWaitMs), WAIT_OBJECT_0);
    // A thread's handle is signalled once the thread has ended, and keeps its exit code.
    EXPECT_EQ(WaitForSingleObject(hThread, kWaitMs), WAIT_OBJECT_0);
    DWORD dwExitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &dwExitCode));
    EXPECT_EQ(dwExitCode, 7u);
    EXPECT_TRUE(CloseHandle(hThread));
}

TEST(KernelTest, runningThreadReportsStillActive)
{
    CEvent release(TRUE, FALSE);
    const HANDLE hThread = CreateThread(
        nullptr, 0,
        [](LPVOID pParameter) -> DWORD {
            WaitForSingleObject(static_cast<HANDLE>(pParameter), INFINITE);
            return 0;
        },
        static_cast<HANDLE>(release), 0, nullptr);
    DWORD dwExitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &dwExitCode));
    EXPECT_EQ(dwExitCode, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(hThread, 20), WAIT_TIMEOUT);
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(hThread, kWaitMs), WAIT_OBJECT_0);
    CloseHandle(hThread);
}

TEST(KernelTest, timedWaitLastsAboutItsTime)
{
    CEvent event(FALSE, FALSE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 60), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST(KernelTest, invalidOrClosedHandlesFail)
{
    HANDLE hEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(hEvent));
    EXPECT_FALSE(CloseHandle(hEvent));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    // A new event of our layer never takes the value of a closed one; Windows reuses values.
    CEvent next(FALSE, FALSE);
    EXPECT_TRUE(!kOwnPlatformLayer || static_cast<HANDLE>(next) != hEvent);
}

TEST(KernelTest, unsupportedRequestsFailWithInvalidParameter)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the system offers waiting for all and named events";
    CEvent event(FALSE, TRUE);
    const HANDLE handles[] = {event, event};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(0, handles, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "StopEvent"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(KernelTest, lastErrorBelongsToEachThread)
{
    SetLastError(1234);
    std::atomic<DWORD> dwOther{99};
    const HANDLE hThread = CreateThread(
        nullptr, 0,
        [](LPVOID pParameter) -> DWORD {
            static_cast<std::atomic<DWORD>*>(pParameter)->store(GetLastError());
            return 0;
        },
        &dwOther, 0, nullptr);
    WaitForSingleObject(hThread, kWaitMs);
    CloseHandle(hThread);
    EXPECT_EQ(dwOther.load(), ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(KernelTest, debugOutputGoesToStandardErrorUnchanged)
{
    CTraceCapture capture;
    OutputDebugStringA("CSockets::SocketCreate()\n");
    OutputDebugStringA("no line feed");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(capture.Text(), "CSockets::SocketCreate()\nno line feed");
}

TEST(KernelTest, debugOutputLinesFromTwoThreadsStayWhole)
{
    CTraceCapture capture;
    const std::string strLine(300, 'x');
    const HANDLE hThread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            for (int i = 0; i < 200; ++i)
                OutputDebugStringA((std::string(300, 'y') + "\n").c_str());
            return 0;
        },
        nullptr, 0, nullptr);
    for (int i = 0; i < 200; ++i)
        OutputDebugStringA((strLine + "\n").c_str());
    WaitForSingleObject(hThread, kWaitMs);
    CloseHandle(hThread);
    const std::string strText = capture.Text();
    std::size_t nLines = 0;
    for (std::size_t nStart = 0; nStart < strText.size(); ++nLines) {
        const std::size_t nEnd = strText.find('\n', nStart);
        ASSERT_NE(nEnd, std::string::npos);
        const std::string strGot = strText.substr(nStart, nEnd - nStart);
        EXPECT_TRUE(strGot == strLine || strGot == std::string(300, 'y'));
        nStart = nEnd + 1;
    }
    EXPECT_EQ(nLines, 400u);
}

// The programs' code page, UTF-8, on Windows through their manifest.
TEST(KernelTest, wideTextConvertsToUtf8)
{
    const wchar_t* pszWide = L"My ISP \u00e9\u20ac";
    const int nBytes = WideCharToMultiByte(CP_ACP, 0, pszWide, -1, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(nBytes, 13);
    char cBuffer[13];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, pszWide, -1, cBuffer, nBytes, nullptr, nullptr), 13);
    EXPECT_STREQ(cBuffer, "My ISP \xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, pszWide, -1, cBuffer, 5, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

// Closing a handle that another thread waits on fails that wait at once instead of leaving it
// waiting for an object that nobody can signal any more.
TEST(KernelTest, closingAHandleDuringAWaitFailsTheWait)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the system leaves a wait on a closed handle undefined";
    const HANDLE hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> dwResult{WAIT_OBJECT_0};
    std::atomic<DWORD> dwError{0};
    std::atomic<ThreadId> nWaiter{0};
    std::thread waiter([&] {
        nWaiter = KernelThreadId();
        dwResult = WaitForSingleObject(hEvent, kWaitMs);
        dwError = GetLastError();
    });
    while (nWaiter == 0)
        std::this_thread::yield();
    ASSERT_TRUE(WaitUntilThreadSleeps(nWaiter));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(CloseHandle(hEvent));
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(dwResult, WAIT_FAILED);
    EXPECT_EQ(dwError, ERROR_INVALID_HANDLE);
}
