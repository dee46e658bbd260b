// SPDX-License-Identifier: GPL-3.0-or-later
// A thread's state read from Linux's /proc.
#pragma once

#include <chrono>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

using ThreadId = pid_t;

// The calling thread's id in the kernel, for another thread to watch.
inline ThreadId KernelThreadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// True once the thread sleeps (blocked in a wait), false if it does not within the time given.
// Runs no events of the calling thread meanwhile.
inline bool WaitUntilThreadSleeps(ThreadId nThread,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const std::string strPath = "/proc/self/task/" + std::to_string(nThread) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream stat(strPath);
        std::string strStat;
        std::getline(stat, strStat);
        // The state follows the command name, which is in parentheses and may hold spaces.
        const std::size_t nEnd = strStat.rfind(") ");
        if (nEnd != std::string::npos && nEnd + 2 < strStat.size() && strStat[nEnd + 2] == 'S')
            return true;
        std::this_thread::yield();
    }
    return false;
}
