// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeWorker.h"

#include "Wnd.h"

CExchangeWorker::CExchangeWorker()
{
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

CExchangeWorker::~CExchangeWorker()
{
    Stop();
    if (m_hThread != nullptr)
        CloseHandle(m_hThread);
}

void CExchangeWorker::Post(std::function<void()> job)
{
    std::lock_guard lock(m_Mutex);
    if (m_bStopping)
        return;
    m_Jobs.push_back(std::move(job));
    m_Changed.notify_all();
}

void CExchangeWorker::RequestStop()
{
    std::lock_guard lock(m_Mutex);
    m_bStopping = true;
    m_Jobs.clear();
    m_Changed.notify_all();
}

void CExchangeWorker::Stop()
{
    RequestStop();
    if (m_hThread != nullptr)
        WaitForSingleObjectPumping(m_hThread, INFINITE);
}

bool CExchangeWorker::IsStopping() const
{
    std::lock_guard lock(m_Mutex);
    return m_bStopping;
}

void CExchangeWorker::WaitUntilIdle()
{
    for (;;) {
        {
            std::lock_guard lock(m_Mutex);
            if (m_Jobs.empty() && !m_bBusy)
                return;
        }
        RunWindowMessages(10);
    }
}

int CExchangeWorker::TakenJobs() const
{
    std::lock_guard lock(m_Mutex);
    return m_nTakenJobs;
}

DWORD CExchangeWorker::ThreadProc(LPVOID pParameter)
{
    static_cast<CExchangeWorker*>(pParameter)->Run();
    return 0;
}

void CExchangeWorker::Run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_Mutex);
            m_Changed.wait(lock, [&] { return m_bStopping || !m_Jobs.empty(); });
            if (m_bStopping)
                return;
            job = std::move(m_Jobs.front());
            m_Jobs.pop_front();
            m_bBusy = true;
            ++m_nTakenJobs;
        }
        job();
        std::lock_guard lock(m_Mutex);
        m_bBusy = false;
    }
}
