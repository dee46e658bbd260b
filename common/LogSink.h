// SPDX-License-Identifier: GPL-3.0-or-later
// ILogSink: where the programs' work writes its log entries, apart from the window that shows them
// (the Log page), so that the work runs and is tested with no window at all. Each entry keeps the
// time of its call, and a thread's entries keep their order.
#pragma once

#include <string>

class ILogSink
{
public:
    // A warning (a failure, a refusal) is an entry like any other, but for the journal.
    enum class EPriority { Info, Warning };

    virtual void AddEntry(std::string strText, EPriority priority = EPriority::Info) = 0;

    // While it lives, the entries that the calling thread adds are kept, and then handed over in
    // one call: the window's work for them then takes no processor from a client that is waiting
    // for its reply.
    class CEntryHold
    {
    public:
        explicit CEntryHold(ILogSink& log) : m_Log(log) { m_Log.HoldEntries(); }
        ~CEntryHold() { m_Log.ReleaseEntries(); }
        CEntryHold(const CEntryHold&) = delete;
        CEntryHold& operator=(const CEntryHold&) = delete;

    private:
        ILogSink& m_Log;
    };

protected:
    ~ILogSink() = default;
    virtual void HoldEntries() = 0;
    virtual void ReleaseEntries() = 0;
};
