// SPDX-License-Identifier: GPL-3.0-or-later
// The debug strings of this process, caught as OutputDebugStringA raises them, before any
// debugger sees them; or, given descriptor 1, what the process writes to standard output.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <io.h>
#include <mutex>
#include <sstream>
#include <string>

class CTraceCapture
{
public:
    // Standard error is where the other platforms write traces: here they are debug strings.
    explicit CTraceCapture(int nFd = 2)
    {
        if (nFd == 1) {
            RedirectStandardOutput();
            return;
        }
        Active() = this;
        m_hHandler = ::AddVectoredExceptionHandler(1, Handler);
    }
    ~CTraceCapture() { Restore(); }
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    // Everything written so far; ends the capture.
    std::string Text()
    {
        Restore();
        std::lock_guard lock(m_Mutex);
        return m_strText;
    }

private:
    static std::atomic<CTraceCapture*>& Active()
    {
        static std::atomic<CTraceCapture*> pActive{nullptr};
        return pActive;
    }

    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pException)
    {
        const EXCEPTION_RECORD* pRecord = pException->ExceptionRecord;
        if (pRecord->ExceptionCode != DBG_PRINTEXCEPTION_C || pRecord->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        if (CTraceCapture* pCapture = Active().load()) {
            // The length counts the closing NUL.
            const auto nLength = static_cast<std::size_t>(pRecord->ExceptionInformation[0]);
            const auto* pText = reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]);
            std::lock_guard lock(pCapture->m_Mutex);
            pCapture->m_strText.append(pText, nLength > 0 ? nLength - 1 : 0);
        }
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    void RedirectStandardOutput()
    {
        char cDir[MAX_PATH] = {};
        ::GetTempPathA(sizeof cDir, cDir);
        char cPath[MAX_PATH] = {};
        ::GetTempFileNameA(cDir, "out", 0, cPath);
        m_strPath = cPath;
        std::fflush(stdout);
        m_nSavedStdout = ::_dup(1);
        std::FILE* pFile = std::fopen(cPath, "wb");
        ::_dup2(::_fileno(pFile), 1);
        std::fclose(pFile);
    }

    void Restore()
    {
        if (m_nSavedStdout >= 0) {
            std::fflush(stdout);
            ::_dup2(m_nSavedStdout, 1);
            ::_close(m_nSavedStdout);
            m_nSavedStdout = -1;
            std::ostringstream text;
            text << std::ifstream(m_strPath, std::ios::binary).rdbuf();
            m_strText = text.str();
            ::DeleteFileA(m_strPath.c_str());
        }
        if (m_hHandler == nullptr)
            return;
        ::RemoveVectoredExceptionHandler(m_hHandler);
        m_hHandler = nullptr;
        Active() = nullptr;
    }

    PVOID m_hHandler = nullptr;
    int m_nSavedStdout = -1;
    std::string m_strPath;
    std::mutex m_Mutex;
    std::string m_strText;
};
