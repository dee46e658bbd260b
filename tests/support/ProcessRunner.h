// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program as a child process for end-to-end tests and collects its standard output line
// by line; its standard error is kept in a file, or collected with the output.
#pragma once

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CProcessRunner
{
public:
    // Journal: both streams go to the collected lines, and the program is told (JOURNAL_STREAM)
    // that they are systemd's journal.
    enum class EStreams { Separate, Journal };

    CProcessRunner(const std::string& strPath, const std::string& strStderrPath,
                   EStreams streams = EStreams::Separate)
    {
        int nPipe[2];
        if (::pipe(nPipe) != 0)
            return;
        m_nPid = ::fork();
        if (m_nPid == 0) {
            ::dup2(nPipe[1], STDOUT_FILENO);
            std::FILE* pErr =
                streams == EStreams::Journal ? nullptr : std::fopen(strStderrPath.c_str(), "w");
            ::dup2(pErr != nullptr ? ::fileno(pErr) : nPipe[1], STDERR_FILENO);
            struct stat status {
            };
            if (streams == EStreams::Journal && ::fstat(STDOUT_FILENO, &status) == 0)
                ::setenv(
                    "JOURNAL_STREAM",
                    (std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino)).c_str(),
                    1);
            else
                ::unsetenv("JOURNAL_STREAM");
            ::close(nPipe[0]);
            ::close(nPipe[1]);
            // Headless: no display, Qt's offscreen platform.
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("QT_QPA_PLATFORM");
#ifdef TARNLOW_TEST_EMULATOR
            // A program of another architecture runs under the tests' emulator (qemu's user mode).
            ::execl(TARNLOW_TEST_EMULATOR, TARNLOW_TEST_EMULATOR, strPath.c_str(),
                    static_cast<char*>(nullptr));
#else
            ::execl(strPath.c_str(), strPath.c_str(), static_cast<char*>(nullptr));
#endif
            ::_exit(127);
        }
        ::close(nPipe[1]);
        m_nReadFd = nPipe[0];
        m_Reader = std::thread([this] { Read(); });
    }

    ~CProcessRunner()
    {
        if (m_nPid > 0 && !m_bExited) {
            ::kill(m_nPid, SIGKILL);
            WaitForExit(std::chrono::seconds(10));
        }
        if (m_Reader.joinable())
            m_Reader.join();
        if (m_nReadFd >= 0)
            ::close(m_nReadFd);
    }

    CProcessRunner(const CProcessRunner&) = delete;
    CProcessRunner& operator=(const CProcessRunner&) = delete;

    // True once a line holding the text has been written (counting from line nFrom).
    bool WaitForLine(const std::string& strText, std::chrono::milliseconds timeout,
                     std::size_t nFrom = 0)
    {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, timeout, [&] { return FindLocked(strText, nFrom) >= 0; });
    }

    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_Mutex);
        return m_Lines;
    }

    void Signal(int nSignal)
    {
        ::kill(m_nPid, nSignal);
    }
    pid_t Pid() const
    {
        return m_nPid;
    }

    // The exit status as waitpid reports it, or -1 if the process has not ended in time.
    int WaitForExit(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_bExited) {
            int nStatus = 0;
            if (::waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
                m_bExited = true;
                m_nStatus = nStatus;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return m_nStatus;
    }

private:
    int FindLocked(const std::string& strText, std::size_t nFrom) const
    {
        for (std::size_t i = nFrom; i < m_Lines.size(); ++i) {
            if (m_Lines[i].find(strText) != std::string::npos)
                return static_cast<int>(i);
        }
        return -1;
    }

    void Read()
    {
        std::string strPending;
        char cBuffer[4096];
        ssize_t n = 0;
        while ((n = ::read(m_nReadFd, cBuffer, sizeof cBuffer)) > 0) {
            strPending.append(cBuffer, static_cast<std::size_t>(n));
            std::size_t nEnd = 0;
            std::lock_guard lock(m_Mutex);
            while ((nEnd = strPending.find('\n')) != std::string::npos) {
                m_Lines.push_back(strPending.substr(0, nEnd));
                strPending.erase(0, nEnd + 1);
            }
            m_Changed.notify_all();
        }
    }

    pid_t m_nPid = -1;
    int m_nReadFd = -1;
    bool m_bExited = false;
    int m_nStatus = 0;
    std::thread m_Reader;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<std::string> m_Lines;
};
