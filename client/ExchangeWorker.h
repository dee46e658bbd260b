// SPDX-License-Identifier: GPL-3.0-or-later
// CExchangeWorker: the one thread on which the client's exchanges with the server run, one at a
// time and in the order they were asked for, so that the window stays responsive.
#pragma once

#include "Kernel.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class CExchangeWorker
{
public:
    CExchangeWorker();
    // Stops the thread and waits for it.
    ~CExchangeWorker();
    CExchangeWorker(const CExchangeWorker&) = delete;
    CExchangeWorker& operator=(const CExchangeWorker&) = delete;

    void Post(std::function<void()> job);
    // Drops the jobs not yet started and waits until the running one has returned; the window
    // thread keeps serving the calls that the job makes on it meanwhile.
    void Stop();
    // Drops the jobs not yet started and tells the running one to finish, without waiting.
    void RequestStop();
    bool IsStopping() const;
    // Runs all jobs posted so far before it returns, the window thread serving them (for tests).
    void WaitUntilIdle();
    // How many jobs the thread has taken up so far (for tests that wait for one to start).
    int TakenJobs() const;

private:
    static DWORD ThreadProc(LPVOID pParameter);
    void Run();

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<std::function<void()>> m_Jobs;
    bool m_bStopping = false;
    bool m_bBusy = false;
    int m_nTakenJobs = 0;
    HANDLE m_hThread = nullptr;
};
