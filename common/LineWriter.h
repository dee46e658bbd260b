// SPDX-License-Identifier: GPL-3.0-or-later
// CLineWriter: writes text to standard output on a thread of its own, in the order it was given,
// so that no caller (the listener, between two clients) waits for the output; the thread sleeps
// while there is nothing to write. Where the thread cannot be made, the caller writes.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class CLineWriter
{
public:
    CLineWriter();
    // Writes what is left, then ends its thread.
    ~CLineWriter();
    CLineWriter(const CLineWriter&) = delete;
    CLineWriter& operator=(const CLineWriter&) = delete;

    // Queues whole lines, each with its line feed.
    void Write(const std::string& strLines);
    // Until everything given so far is written.
    void Flush();

private:
    void Run();
    static void WriteOut(const std::string& strText);

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::string m_strQueued;
    bool m_bWriting = false;
    bool m_bEnding = false;
    std::thread m_Thread;
};
