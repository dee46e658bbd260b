// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a Windows program as a child process for end-to-end tests: its standard output is read
// line by line, its main window found by its process, and it is closed by WM_CLOSE.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CWindowsProcess
{
public:
    explicit CWindowsProcess(const std::string& strPath)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE hWrite = nullptr;
        if (!::CreatePipe(&m_hRead, &hWrite, &inherit, 0))
            return;
        ::SetHandleInformation(m_hRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = hWrite;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        std::string strCommand = "\"" + strPath + "\"";
        if (::CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &m_Process))
            m_Reader = std::thread([this] { Read(); });
        ::CloseHandle(hWrite);
    }

    ~CWindowsProcess()
    {
        if (m_Process.hProcess != nullptr && WaitForExit(std::chrono::seconds(0)) == STILL_ACTIVE)
            ::TerminateProcess(m_Process.hProcess, 1);
        if (m_Reader.joinable())
            m_Reader.join();
        ::CloseHandle(m_hRead);
        ::CloseHandle(m_Process.hProcess);
        ::CloseHandle(m_Process.hThread);
    }

    bool IsRunning() const { return m_Process.hProcess != nullptr; }

    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_Mutex);
        return m_Lines;
    }

    // Waits for a line that begins with the text, from line nFrom on.
    bool WaitForLine(const std::string& strText, std::chrono::milliseconds timeout,
                     std::size_t nFrom = 0)
    {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, timeout, [&] {
            for (std::size_t i = nFrom; i < m_Lines.size(); ++i) {
                if (m_Lines[i].find(strText) != std::string::npos)
                    return true;
            }
            return false;
        });
    }

    // The process's top-level window with that caption, once it has one.
    HWND FindWindow(const std::string& strCaption, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            SFind find{m_Process.dwProcessId, strCaption, nullptr};
            ::EnumWindows(&CWindowsProcess::Match, reinterpret_cast<LPARAM>(&find));
            if (find.hWnd != nullptr || std::chrono::steady_clock::now() > deadline)
                return find.hWnd;
            ::Sleep(50);
        }
    }

    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(std::chrono::milliseconds timeout)
    {
        ::WaitForSingleObject(m_Process.hProcess, static_cast<DWORD>(timeout.count()));
        DWORD dwCode = STILL_ACTIVE;
        ::GetExitCodeProcess(m_Process.hProcess, &dwCode);
        return dwCode;
    }

private:
    struct SFind {
        DWORD dwProcessId;
        std::string strCaption;
        HWND hWnd;
    };

    static BOOL CALLBACK Match(HWND hWnd, LPARAM lParam)
    {
        auto* pFind = reinterpret_cast<SFind*>(lParam);
        DWORD dwProcessId = 0;
        ::GetWindowThreadProcessId(hWnd, &dwProcessId);
        char cCaption[256] = {};
        ::GetWindowTextA(hWnd, cCaption, sizeof cCaption);
        if (dwProcessId != pFind->dwProcessId || pFind->strCaption != cCaption ||
            !::IsWindowVisible(hWnd))
            return TRUE;
        pFind->hWnd = hWnd;
        return FALSE;
    }

    void Read()
    {
        std::string strPending;
        char cBuffer[4096];
        DWORD dwRead = 0;
        while (::ReadFile(m_hRead, cBuffer, sizeof cBuffer, &dwRead, nullptr) && dwRead > 0) {
            strPending.append(cBuffer, dwRead);
            std::lock_guard lock(m_Mutex);
            for (std::size_t nEnd; (nEnd = strPending.find('\n')) != std::string::npos;) {
                std::string strLine = strPending.substr(0, nEnd);
                if (!strLine.empty() && strLine.back() == '\r')
                    strLine.pop_back();
                m_Lines.push_back(strLine);
                strPending.erase(0, nEnd + 1);
            }
            m_Changed.notify_all();
        }
    }

    PROCESS_INFORMATION m_Process{};
    HANDLE m_hRead = nullptr;
    std::thread m_Reader;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<std::string> m_Lines;
};
