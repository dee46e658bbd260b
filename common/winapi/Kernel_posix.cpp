// SPDX-License-Identifier: GPL-3.0-or-later
// Kernel objects under one process-wide lock. A waiting thread watches its own wake-up
// descriptor (an eventfd), which every change of an object it waits on writes, and beside it the
// sockets selected onto the event objects it waits on: a network event wakes the waiter itself.
#include "Kernel.h"

#include "Journal.h"
#include "WaitSource_posix.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

struct SKernelObject {
    bool bSignalled = false;
    bool bManualReset = true;
    DWORD dwExitCode = STILL_ACTIVE;
    bool bThread = false;
    bool bClosed = false;
    // The wake-up descriptors of the threads waiting on the object.
    std::vector<int> WaiterFds;
};

using ObjectPtr = std::shared_ptr<SKernelObject>;

struct SKernel {
    std::mutex Mutex;
    std::unordered_map<HANDLE, ObjectPtr> Handles;
    std::uintptr_t nNextHandle = 0x100;
    std::mutex DebugOutputMutex;
    std::atomic<CWaitSource*> pWaitSource{nullptr};
};

// Never destroyed: detached threads may still signal their handle while the process exits.
SKernel& Kernel()
{
    static SKernel* pKernel = new SKernel;
    return *pKernel;
}

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

// A thread's own wake-up descriptor, made at its first wait and closed when it ends. Only the
// thread itself reads it, so a wake-up meant for it is never taken by another waiter.
class CWakeDescriptor
{
public:
    CWakeDescriptor() = default;
    ~CWakeDescriptor()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    CWakeDescriptor(const CWakeDescriptor&) = delete;
    CWakeDescriptor& operator=(const CWakeDescriptor&) = delete;

    // The descriptor, made if need be; -1 if the process has none left.
    int Get()
    {
        if (m_nFd < 0)
            m_nFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        return m_nFd;
    }

    // The descriptor if the thread has made one, else -1.
    int Peek() const { return m_nFd; }

    void Drain() const
    {
        std::uint64_t nCount = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_nFd, &nCount, sizeof nCount);
    }

private:
    int m_nFd = -1;
};

thread_local CWakeDescriptor t_WakeDescriptor;

HANDLE AddHandle(const ObjectPtr& pObject)
{
    SKernel& kernel = Kernel();
    std::lock_guard lock(kernel.Mutex);
    // Handle values are never reused, so a stale handle can only fail, never reach a new object.
    auto hHandle = reinterpret_cast<HANDLE>(kernel.nNextHandle);
    kernel.nNextHandle += 4;
    kernel.Handles.emplace(hHandle, pObject);
    return hHandle;
}

// Caller holds the kernel lock.
SKernelObject* FindLocked(HANDLE hHandle)
{
    auto it = Kernel().Handles.find(hHandle);
    return it == Kernel().Handles.end() ? nullptr : it->second.get();
}

// Caller holds the kernel lock. A waiter that signals an object itself, recording what its
// sockets showed, looks at its objects again anyway.
void WakeLocked(const SKernelObject& object)
{
    const std::uint64_t nOne = 1;
    for (const int nFd : object.WaiterFds) {
        if (nFd != t_WakeDescriptor.Peek()) {
            [[maybe_unused]] const ssize_t n = ::write(nFd, &nOne, sizeof nOne);
        }
    }
}

BOOL SetSignalled(HANDLE hEvent, bool bSignalled)
{
    SKernel& kernel = Kernel();
    std::lock_guard lock(kernel.Mutex);
    SKernelObject* pObject = FindLocked(hEvent);
    if (pObject == nullptr || pObject->bThread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pObject->bSignalled = bSignalled;
    if (bSignalled)
        WakeLocked(*pObject);
    return TRUE;
}

// Caller holds the kernel lock. Takes the first signalled object, resetting an auto-reset event.
bool TakeSignalled(const std::vector<ObjectPtr>& objects, DWORD& dwIndex)
{
    for (DWORD i = 0; i < objects.size(); ++i) {
        if (objects[i]->bSignalled) {
            if (!objects[i]->bManualReset)
                objects[i]->bSignalled = false;
            dwIndex = i;
            return true;
        }
    }
    return false;
}

// Caller holds the kernel lock. The objects stay alive for the wait even if another thread
// closes their handles; the wait then fails.
bool FindAllLocked(DWORD nCount, const HANDLE* lpHandles, std::vector<ObjectPtr>& objects)
{
    for (DWORD i = 0; i < nCount; ++i) {
        auto it = Kernel().Handles.find(lpHandles[i]);
        if (it == Kernel().Handles.end())
            return false;
        objects.push_back(it->second);
    }
    return true;
}

// Caller holds the kernel lock.
void WatchLocked(const std::vector<ObjectPtr>& objects, int nWakeFd, bool bWatch)
{
    for (const ObjectPtr& pObject : objects) {
        std::vector<int>& fds = pObject->WaiterFds;
        if (bWatch)
            fds.push_back(nWakeFd);
        else
            fds.erase(std::find(fds.begin(), fds.end(), nWakeFd));
    }
}

int RemainingMs(DWORD dwMilliseconds, Clock::time_point deadline)
{
    if (dwMilliseconds == INFINITE)
        return -1;
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(remaining.count(), 0, INT_MAX));
}

// One look at the wake-up descriptor and the sockets selected onto the handles, for at most
// nTimeoutMs; whatever the sockets show is recorded on their event objects.
void WatchOnce(DWORD nCount, const HANDLE* lpHandles, int nWakeFd, int nTimeoutMs)
{
    CWaitSource* pSource = Kernel().pWaitSource.load();
    std::vector<pollfd> fds{pollfd{nWakeFd, POLLIN, 0}};
    for (DWORD i = 0; pSource != nullptr && i < nCount; ++i)
        pSource->AddDescriptors(lpHandles[i], fds);
    ::poll(fds.data(), fds.size(), nTimeoutMs);
    t_WakeDescriptor.Drain();
    for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents != 0)
            pSource->Record(fds[i].fd);
    }
}

} // namespace

void SetWaitSource(CWaitSource* pSource)
{
    Kernel().pWaitSource = pSource;
}

void WakeWaiters(HANDLE hObject)
{
    std::lock_guard lock(Kernel().Mutex);
    if (const SKernelObject* pObject = FindLocked(hObject))
        WakeLocked(*pObject);
}

DWORD GetLastError()
{
    return t_dwLastError;
}

void SetLastError(DWORD dwErrorCode)
{
    t_dwLastError = dwErrorCode;
}

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (lpName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto pEvent = std::make_shared<SKernelObject>();
    pEvent->bManualReset = bManualReset != FALSE;
    pEvent->bSignalled = bInitialState != FALSE;
    return AddHandle(pEvent);
}

BOOL SetEvent(HANDLE hEvent)
{
    return SetSignalled(hEvent, true);
}

BOOL ResetEvent(HANDLE hEvent)
{
    return SetSignalled(hEvent, false);
}

BOOL CloseHandle(HANDLE hObject)
{
    SKernel& kernel = Kernel();
    std::lock_guard lock(kernel.Mutex);
    auto it = kernel.Handles.find(hObject);
    if (it == kernel.Handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // A wait on a closed handle could never end through it; it fails instead.
    it->second->bClosed = true;
    WakeLocked(*it->second);
    kernel.Handles.erase(it);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds)
{
    // Waiting for all handles at once is not needed by this system and not offered.
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || bWaitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    SKernel& kernel = Kernel();
    std::vector<ObjectPtr> objects;
    const auto deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    const int nWakeFd = t_WakeDescriptor.Get();
    std::unique_lock lock(kernel.Mutex);
    if (!FindAllLocked(nCount, lpHandles, objects) || nWakeFd < 0) {
        SetLastError(nWakeFd < 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    WatchLocked(objects, nWakeFd, true);
    DWORD dwResult = WAIT_TIMEOUT;
    // The time-out is checked after a look at the sockets, so that even a wait of 0 ms sees a
    // network event that has happened but is not recorded yet.
    for (bool bLastLook = false;; bLastLook = RemainingMs(dwMilliseconds, deadline) == 0) {
        DWORD dwIndex = 0;
        if (TakeSignalled(objects, dwIndex)) {
            dwResult = WAIT_OBJECT_0 + dwIndex;
            break;
        }
        if (std::any_of(objects.begin(), objects.end(), [](auto& p) { return p->bClosed; })) {
            SetLastError(ERROR_INVALID_HANDLE);
            dwResult = WAIT_FAILED;
            break;
        }
        if (bLastLook)
            break;
        lock.unlock();
        WatchOnce(nCount, lpHandles, nWakeFd, RemainingMs(dwMilliseconds, deadline));
        lock.lock();
    }
    WatchLocked(objects, nWakeFd, false);
    return dwResult;
}

void Sleep(DWORD dwMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

HANDLE CreateThread(SECURITY_ATTRIBUTES*, std::size_t, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    // Suspended creation is not offered; every thread of this system runs at once.
    if (lpStartAddress == nullptr || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pThread = std::make_shared<SKernelObject>();
    pThread->bThread = true;
    HANDLE hThread = AddHandle(pThread);
    static std::atomic<DWORD> s_dwNextThreadId{1};
    if (lpThreadId != nullptr)
        *lpThreadId = s_dwNextThreadId++;
    // The system fails a thread it cannot make; the C++ library throws, which would end the
    // process from a caller that cannot know it.
    try {
        std::thread([pThread, lpStartAddress, lpParameter] {
            const DWORD dwExitCode = lpStartAddress(lpParameter);
            std::lock_guard lock(Kernel().Mutex);
            pThread->dwExitCode = dwExitCode;
            pThread->bSignalled = true;
            WakeLocked(*pThread);
        }).detach();
    } catch (const std::system_error&) {
        CloseHandle(hThread);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return hThread;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    std::lock_guard lock(Kernel().Mutex);
    SKernelObject* pObject = FindLocked(hThread);
    if (pObject == nullptr || !pObject->bThread || lpExitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = pObject->dwExitCode;
    return TRUE;
}

namespace
{

std::string WithLinePrefixes(const char* pszText)
{
    const std::string_view prefix = Journal::LinePrefix(Journal::EPriority::Debug, STDERR_FILENO);
    if (prefix.empty())
        return pszText;
    std::string strText;
    for (const char* p = pszText; *p != '\0'; ++p) {
        if (p == pszText || p[-1] == '\n')
            strText += prefix;
        strText += *p;
    }
    return strText;
}

} // namespace

void OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString == nullptr)
        return;
    // In the journal each line of trace is of debug priority.
    const std::string strText = WithLinePrefixes(lpOutputString);
    // One write per call, so that lines from two threads never interleave.
    std::lock_guard lock(Kernel().DebugOutputMutex);
    const std::size_t nLength = strText.size();
    std::size_t nWritten = 0;
    while (nWritten < nLength) {
        const ssize_t n = ::write(STDERR_FILENO, strText.data() + nWritten, nLength - nWritten);
        if (n <= 0)
            return;
        nWritten += static_cast<std::size_t>(n);
    }
}
