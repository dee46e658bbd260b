// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineWriter.h"

#include <cstdio>
#include <system_error>

CLineWriter::CLineWriter()
{
    try {
        m_Thread = std::thread(&CLineWriter::Run, this);
    } catch (const std::system_error&) {
        // Written by the caller instead.
    }
}

CLineWriter::~CLineWriter()
{
    if (!m_Thread.joinable())
        return;
    {
        std::lock_guard lock(m_Mutex);
        m_bEnding = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

void CLineWriter::Write(const std::string& strLines)
{
    if (!m_Thread.joinable()) {
        WriteOut(strLines);
        return;
    }
    {
        std::lock_guard lock(m_Mutex);
        m_strQueued += strLines;
    }
    m_Changed.notify_all();
}

void CLineWriter::Flush()
{
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_strQueued.empty() && !m_bWriting; });
}

void CLineWriter::Run()
{
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Changed.wait(lock, [this] { return !m_strQueued.empty() || m_bEnding; });
        if (m_strQueued.empty())
            return;
        const std::string strText = std::move(m_strQueued);
        m_strQueued.clear();
        m_bWriting = true;
        lock.unlock();
        WriteOut(strText);
        lock.lock();
        m_bWriting = false;
        m_Changed.notify_all();
    }
}

void CLineWriter::WriteOut(const std::string& strText)
{
    std::fwrite(strText.data(), 1, strText.size(), stdout);
    std::fflush(stdout);
}
