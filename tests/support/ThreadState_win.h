// SPDX-License-Identifier: GPL-3.0-or-later
// A thread's state as Windows reports it for the process's threads. Wine reports every thread as
// just made: there the wait returns at once, and a test checks its outcome whichever thread
// comes first.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

using ThreadId = DWORD;

inline ThreadId KernelThreadId()
{
    return ::GetCurrentThreadId();
}

// The thread's scheduling state (5 is waiting), none when the system does not list it.
inline std::optional<ULONG> ThreadSchedulingState(ThreadId nThread)
{
    using QueryFunction = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<unsigned char> buffer(1 << 20);
    ULONG nLength = 0;
    if (query == nullptr || query(SystemProcessInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &nLength) != 0)
        return std::nullopt;
    for (auto* pProcess = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data());;
         pProcess = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(
             reinterpret_cast<const unsigned char*>(pProcess) + pProcess->NextEntryOffset)) {
        if (reinterpret_cast<ULONG_PTR>(pProcess->UniqueProcessId) == ::GetCurrentProcessId()) {
            // The process's threads follow its entry.
            const auto* pThreads = reinterpret_cast<const SYSTEM_THREAD_INFORMATION*>(pProcess + 1);
            for (ULONG i = 0; i < pProcess->NumberOfThreads; ++i) {
                if (reinterpret_cast<ULONG_PTR>(pThreads[i].ClientId.UniqueThread) == nThread)
                    return pThreads[i].ThreadState;
            }
            return std::nullopt;
        }
        if (pProcess->NextEntryOffset == 0)
            return std::nullopt;
    }
}

// True once the thread waits, false if it does not within the time given; at once where the
// system reports no state (Wine).
inline bool WaitUntilThreadSleeps(ThreadId nThread,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    constexpr ULONG kInitialized = 0;
    constexpr ULONG kWaiting = 5;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::optional<ULONG> state = ThreadSchedulingState(nThread);
        if (!state || *state == kWaiting || *state == kInitialized)
            return true;
        std::this_thread::yield();
    }
    return false;
}
