// SPDX-License-Identifier: GPL-3.0-or-later
// Captures what the code under test writes to the debugger output (standard error here), or to
// another descriptor such as standard output, while the object lives.
#pragma once

#include <cstdio>
#include <string>
#include <unistd.h>

class CTraceCapture
{
public:
    explicit CTraceCapture(int nFd = STDERR_FILENO) : m_nFd(nFd)
    {
        FlushAll();
        m_pFile = std::tmpfile();
        m_nSavedFd = ::dup(m_nFd);
        ::dup2(::fileno(m_pFile), m_nFd);
    }
    ~CTraceCapture()
    {
        Restore();
        std::fclose(m_pFile);
    }
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    // Everything written so far; ends the capture.
    std::string Text()
    {
        Restore();
        std::string strText;
        std::rewind(m_pFile);
        char cBuffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(cBuffer, 1, sizeof cBuffer, m_pFile)) > 0)
            strText.append(cBuffer, n);
        return strText;
    }

private:
    void Restore()
    {
        if (m_nSavedFd < 0)
            return;
        FlushAll();
        ::dup2(m_nSavedFd, m_nFd);
        ::close(m_nSavedFd);
        m_nSavedFd = -1;
    }

    static void FlushAll()
    {
        std::fflush(stdout);
        std::fflush(stderr);
    }

    int m_nFd;
    std::FILE* m_pFile = nullptr;
    int m_nSavedFd = -1;
};
