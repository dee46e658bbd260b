// SPDX-License-Identifier: GPL-3.0-or-later
// CLogFanOut: a program's log. Each entry is stamped with the time of its call, written to
// standard output as one line (under systemd with its priority, for the journal) by a writer of
// its own, and handed to every view (the Log page, and any later front) in that same order. A
// thread that holds its entries (ILogSink::CEntryHold) hands them over in one piece when the hold
// ends; while a program starts (CStartHold), what other threads say waits until the start has said
// its own, as entries posted to a window wait until its start returns to the window's loop.
#pragma once

#include "Clock.h"
#include "LineWriter.h"
#include "LogSink.h"

#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SLogEntry {
    std::string strTimestamp;
    std::string strText;
    ILogSink::EPriority Priority = ILogSink::EPriority::Info;
};

class ILogView
{
public:
    // Shows the entries after those shown before; called from any thread, one call at a time,
    // and must not wait for another thread.
    virtual void ShowEntries(const std::vector<SLogEntry>& entries) = 0;

protected:
    ~ILogView() = default;
};

class CLogFanOut : public ILogSink
{
public:
    explicit CLogFanOut(const CClock& clock = CClock::System());
    CLogFanOut(const CLogFanOut&) = delete;
    CLogFanOut& operator=(const CLogFanOut&) = delete;

    void AddEntry(std::string strText, EPriority priority = EPriority::Info) override;
    // A line on standard output that is no entry (the address of a server without a screen), in
    // its place among the entries' lines.
    void WriteLine(EPriority priority, const std::string& strText);
    // Until every line so far is on standard output.
    void Flush() { m_Writer.Flush(); }
    // A view sees the entries added after it came, until it goes.
    void AddView(ILogView& view);
    void RemoveView(ILogView& view);

    // Day, month, four-digit year and time, in local time: 05-03-2004 14:07:09.
    static std::string FormatTimestamp(std::time_t time);

    // While it lives, the entries of every thread but the one that made it wait, and then follow
    // that thread's own.
    class CStartHold
    {
    public:
        explicit CStartHold(CLogFanOut& log);
        ~CStartHold();
        CStartHold(const CStartHold&) = delete;
        CStartHold& operator=(const CStartHold&) = delete;

    private:
        CLogFanOut& m_Log;
    };

private:
    void HoldEntries() override;
    void ReleaseEntries() override;
    // The caller holds the lock: the line and every view get the entries in one order.
    void DeliverLocked(const std::vector<SLogEntry>& entries);

    const CClock& m_Clock;
    std::mutex m_Mutex;
    std::vector<ILogView*> m_Views;
    std::thread::id m_HoldingThread;
    std::vector<SLogEntry> m_Held;
    std::thread::id m_StartingThread;
    std::vector<SLogEntry> m_AfterStart;
    CLineWriter m_Writer;
};
