// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless/MessageQueue.h"

#include <chrono>
#include <vector>

// Ends its caller's wait when it is done with, whether it ran or was dropped with its window.
struct CMessageQueue::SEntry {
    SEntry(std::shared_ptr<SWndLink> pEntryLink, std::function<void()> work,
           std::shared_ptr<SCallState> pCallState)
        : pLink(std::move(pEntryLink)), Work(std::move(work)), pState(std::move(pCallState))
    {
    }
    SEntry(const SEntry&) = delete;
    SEntry& operator=(const SEntry&) = delete;

    std::shared_ptr<SWndLink> pLink;
    std::function<void()> Work;
    std::shared_ptr<SCallState> pState;

    ~SEntry()
    {
        if (pState == nullptr)
            return;
        std::lock_guard lock(pState->Mutex);
        pState->bFinished = true;
        pState->Finished.notify_all();
    }
    void Run()
    {
        if (pLink != nullptr) {
            std::lock_guard lock(pLink->Mutex);
            if (pLink->pWindow == nullptr || pLink->pWnd == nullptr)
                return;
        }
        Work();
        if (pState == nullptr)
            return;
        std::lock_guard lock(pState->Mutex);
        pState->bRan = true;
    }
};

CMessageQueue& CMessageQueue::Instance()
{
    static CMessageQueue queue;
    return queue;
}

CMessageQueue::CMessageQueue() : m_hQueued(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CMessageQueue::~CMessageQueue()
{
    CloseHandle(m_hQueued);
}

void CMessageQueue::SetWindowThread()
{
    m_WindowThread = std::this_thread::get_id();
}

bool CMessageQueue::IsWindowThread() const
{
    return m_WindowThread == std::this_thread::get_id();
}

void CMessageQueue::Post(std::shared_ptr<SWndLink> pLink, std::function<void()> work,
                         std::shared_ptr<SCallState> pState)
{
    auto pEntry = std::make_unique<SEntry>(std::move(pLink), std::move(work), std::move(pState));
    {
        std::lock_guard lock(m_Mutex);
        m_Entries.push_back(std::move(pEntry));
    }
    SetEvent(m_hQueued);
}

void CMessageQueue::Drop(const SWndLink* pLink)
{
    std::vector<std::unique_ptr<SEntry>> dropped;
    std::lock_guard lock(m_Mutex);
    for (auto it = m_Entries.begin(); it != m_Entries.end();) {
        if ((*it)->pLink.get() == pLink) {
            dropped.push_back(std::move(*it));
            it = m_Entries.erase(it);
        } else {
            ++it;
        }
    }
}

std::unique_ptr<CMessageQueue::SEntry> CMessageQueue::Next()
{
    std::lock_guard lock(m_Mutex);
    if (m_Entries.empty())
        return nullptr;
    std::unique_ptr<SEntry> pEntry = std::move(m_Entries.front());
    m_Entries.pop_front();
    return pEntry;
}

void CMessageQueue::RunPending()
{
    while (std::unique_ptr<SEntry> pEntry = Next())
        pEntry->Run();
}

DWORD CMessageQueue::RunUntilSignalled(HANDLE hHandle, DWORD dwMilliseconds)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(dwMilliseconds);
    const HANDLE handles[2] = {hHandle, m_hQueued};
    const DWORD nCount = hHandle != nullptr ? 2 : 1;
    for (;;) {
        RunPending();
        DWORD dwLeft = INFINITE;
        if (dwMilliseconds != INFINITE) {
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
            dwLeft = static_cast<DWORD>(std::max<milliseconds::rep>(left.count(), 0));
        }
        const DWORD dwResult =
            WaitForMultipleObjects(nCount, handles + (2 - nCount), FALSE, dwLeft);
        if (dwResult == WAIT_OBJECT_0 && nCount == 2)
            return WAIT_OBJECT_0;
        if (dwResult == WAIT_TIMEOUT || dwResult == WAIT_FAILED)
            return dwResult;
    }
}

void CMessageQueue::RunUntil(const std::function<bool()>& done)
{
    for (RunPending(); !done(); RunPending())
        WaitForSingleObject(m_hQueued, INFINITE);
}
