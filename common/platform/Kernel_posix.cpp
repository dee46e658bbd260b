// Kernel objects over one process-wide lock and condition: every change of a signalled state
// wakes all waiters, who look again at the handles they wait for. The handful of threads this
// system runs makes that simpler than per-object wait lists at no visible cost.
#include "Kernel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace
{

struct SKernelObject {
    bool bSignalled = false;
    bool bManualReset = true;
    DWORD dwExitCode = STILL_ACTIVE;
    bool bThread = false;
};

struct SKernel {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::unordered_map<HANDLE, std::shared_ptr<SKernelObject>> Handles;
    std::uintptr_t nNextHandle = 0x100;
    std::mutex DebugOutputMutex;
};

// Never destroyed: detached threads may still signal their handle while the process exits.
SKernel& Kernel()
{
    static SKernel* pKernel = new SKernel;
    return *pKernel;
}

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

HANDLE AddHandle(const std::shared_ptr<SKernelObject>& pObject)
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
        kernel.Changed.notify_all();
    return TRUE;
}

// Caller holds the kernel lock. Takes the first signalled object, resetting an auto-reset event.
bool TakeSignalled(const std::vector<SKernelObject*>& objects, DWORD& dwIndex)
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

} // namespace

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
    if (kernel.Handles.erase(hObject) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
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
    std::unique_lock lock(kernel.Mutex);
    // The objects stay alive for the wait even if another thread closes their handles.
    std::vector<std::shared_ptr<SKernelObject>> owners;
    std::vector<SKernelObject*> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto it = kernel.Handles.find(lpHandles[i]);
        if (it == kernel.Handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        owners.push_back(it->second);
        objects.push_back(it->second.get());
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    DWORD dwIndex = 0;
    for (;;) {
        if (TakeSignalled(objects, dwIndex))
            return WAIT_OBJECT_0 + dwIndex;
        if (dwMilliseconds == INFINITE)
            kernel.Changed.wait(lock);
        else if (kernel.Changed.wait_until(lock, deadline) == std::cv_status::timeout)
            return TakeSignalled(objects, dwIndex) ? WAIT_OBJECT_0 + dwIndex : WAIT_TIMEOUT;
    }
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
    std::thread([pThread, lpStartAddress, lpParameter] {
        const DWORD dwExitCode = lpStartAddress(lpParameter);
        SKernel& kernel = Kernel();
        std::lock_guard lock(kernel.Mutex);
        pThread->dwExitCode = dwExitCode;
        pThread->bSignalled = true;
        kernel.Changed.notify_all();
    }).detach();
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

void OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString == nullptr)
        return;
    // One write per call, so that lines from two threads never interleave.
    std::lock_guard lock(Kernel().DebugOutputMutex);
    const std::size_t nLength = std::strlen(lpOutputString);
    std::size_t nWritten = 0;
    while (nWritten < nLength) {
        const ssize_t n = ::write(STDERR_FILENO, lpOutputString + nWritten, nLength - nWritten);
        if (n <= 0)
            return;
        nWritten += static_cast<std::size_t>(n);
    }
}

namespace
{

// The Linux code page is UTF-8.
int EncodeUtf8(wchar_t wc, char* pOut)
{
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = '?';
    if (c < 0x80) {
        pOut[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        pOut[0] = static_cast<char>(0xC0 | (c >> 6));
        pOut[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        pOut[0] = static_cast<char>(0xE0 | (c >> 12));
        pOut[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        pOut[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    pOut[0] = static_cast<char>(0xF0 | (c >> 18));
    pOut[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    pOut[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    pOut[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

} // namespace

int WideCharToMultiByte(UINT CodePage, DWORD, const wchar_t* lpWideCharStr, int cchWideChar,
                        char* lpMultiByteStr, int cbMultiByte, LPCSTR, BOOL* lpUsedDefaultChar)
{
    if (CodePage != CP_ACP || lpWideCharStr == nullptr || cchWideChar < -1 || cbMultiByte < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpUsedDefaultChar != nullptr)
        *lpUsedDefaultChar = FALSE;
    const std::size_t nChars =
        cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    int nBytes = 0;
    char cEncoded[4];
    for (std::size_t i = 0; i < nChars; ++i) {
        // Plain ASCII, most names, is one byte as it stands.
        const int n = static_cast<unsigned>(lpWideCharStr[i]) < 0x80
                          ? (cEncoded[0] = static_cast<char>(lpWideCharStr[i]), 1)
                          : EncodeUtf8(lpWideCharStr[i], cEncoded);
        if (cbMultiByte != 0) {
            if (nBytes + n > cbMultiByte) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(lpMultiByteStr + nBytes, cEncoded, n);
        }
        nBytes += n;
    }
    return nBytes;
}
