// SPDX-License-Identifier: GPL-3.0-or-later
// The debug strings of this process, caught as OutputDebugStringA raises them, before any
// debugger sees them.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

class CTraceCapture
{
public:
    // The descriptor of the other platforms' capture has no meaning here.
    explicit CTraceCapture(int = 2)
    {
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

    void Restore()
    {
        if (m_hHandler == nullptr)
            return;
        ::RemoveVectoredExceptionHandler(m_hHandler);
        m_hHandler = nullptr;
        Active() = nullptr;
    }

    PVOID m_hHandler = nullptr;
    std::mutex m_Mutex;
    std::string m_strText;
};
