// SPDX-License-Identifier: GPL-3.0-or-later
// CMessageQueue: the window thread's queue without a toolkit. Other threads post messages and
// calls for a window; the window thread runs them in order, and sleeps in the kernel layer's
// waits while there is nothing to run. What is queued for a window that goes is dropped, and a
// caller that waits for a dropped call is told it did not run.
#pragma once

#include "Kernel.h"
#include "headless/WndLink.h"

#include <deque>
#include <functional>
#include <memory>
#include <thread>

class CMessageQueue
{
public:
    static CMessageQueue& Instance();

    // The thread that runs the windows: the one that made the application.
    void SetWindowThread();
    bool IsWindowThread() const;
    // Queues the work for the window (none: for the window thread itself); the caller holds the
    // link's lock. The state, if any, is told when the work has run or been dropped.
    void Post(std::shared_ptr<SWndLink> pLink, std::function<void()> work,
              std::shared_ptr<SCallState> pState = nullptr);
    void Drop(const SWndLink* pLink);
    // Runs what is queued, including what the work queues meanwhile.
    void RunPending();
    // Runs what is queued until the handle is signalled or the time is up (INFINITE: never).
    DWORD RunUntilSignalled(HANDLE hHandle, DWORD dwMilliseconds);
    // Runs what is queued until the condition holds after a run.
    void RunUntil(const std::function<bool()>& done);

private:
    CMessageQueue();
    ~CMessageQueue();

    struct SEntry;
    std::unique_ptr<SEntry> Next();

    std::mutex m_Mutex;
    std::deque<std::unique_ptr<SEntry>> m_Entries;
    HANDLE m_hQueued;
    std::thread::id m_WindowThread;
};
