// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogFanOut.h"

#include "Format.h"
#include "Journal.h"
#include "LocalTime.h"

#include <algorithm>

namespace
{

std::string LineOf(ILogSink::EPriority priority, const std::string& strText)
{
    const Journal::EPriority journalPriority = priority == ILogSink::EPriority::Warning
                                                   ? Journal::EPriority::Warning
                                                   : Journal::EPriority::Info;
    return Journal::LinePrefix(journalPriority, 1) + strText + "\n";
}

} // namespace

CLogFanOut::CLogFanOut(const CClock& clock) : m_Clock(clock) {}

std::string CLogFanOut::FormatTimestamp(std::time_t time)
{
    std::tm local{};
    LocalTime(time, local);
    return FormatText("%02d-%02d-%02d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
                      local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

void CLogFanOut::AddEntry(std::string strText, EPriority priority)
{
    SLogEntry entry{FormatTimestamp(std::chrono::system_clock::to_time_t(m_Clock.WallNow())),
                    std::move(strText), priority};
    const std::thread::id thisThread = std::this_thread::get_id();
    std::lock_guard lock(m_Mutex);
    if (thisThread == m_HoldingThread)
        m_Held.push_back(std::move(entry));
    else if (m_StartingThread != std::thread::id() && thisThread != m_StartingThread)
        m_AfterStart.push_back(std::move(entry));
    else
        DeliverLocked({std::move(entry)});
}

void CLogFanOut::WriteLine(EPriority priority, const std::string& strText)
{
    std::lock_guard lock(m_Mutex);
    m_Writer.Write(LineOf(priority, strText));
}

void CLogFanOut::AddView(ILogView& view)
{
    std::lock_guard lock(m_Mutex);
    m_Views.push_back(&view);
}

void CLogFanOut::RemoveView(ILogView& view)
{
    std::lock_guard lock(m_Mutex);
    std::erase(m_Views, &view);
}

void CLogFanOut::HoldEntries()
{
    std::lock_guard lock(m_Mutex);
    m_HoldingThread = std::this_thread::get_id();
}

void CLogFanOut::ReleaseEntries()
{
    std::lock_guard lock(m_Mutex);
    m_HoldingThread = std::thread::id();
    std::vector<SLogEntry> entries;
    entries.swap(m_Held);
    if (m_StartingThread != std::thread::id() && std::this_thread::get_id() != m_StartingThread)
        m_AfterStart.insert(m_AfterStart.end(), entries.begin(), entries.end());
    else if (!entries.empty())
        DeliverLocked(entries);
}

void CLogFanOut::DeliverLocked(const std::vector<SLogEntry>& entries)
{
    std::string strLines;
    for (const SLogEntry& entry : entries)
        strLines += LineOf(entry.Priority, entry.strTimestamp + " " + entry.strText);
    m_Writer.Write(strLines);
    for (ILogView* pView : m_Views)
        pView->ShowEntries(entries);
}

CLogFanOut::CStartHold::CStartHold(CLogFanOut& log) : m_Log(log)
{
    std::lock_guard lock(m_Log.m_Mutex);
    m_Log.m_StartingThread = std::this_thread::get_id();
}

CLogFanOut::CStartHold::~CStartHold()
{
    std::lock_guard lock(m_Log.m_Mutex);
    m_Log.m_StartingThread = std::thread::id();
    std::vector<SLogEntry> entries;
    entries.swap(m_Log.m_AfterStart);
    if (!entries.empty())
        m_Log.DeliverLocked(entries);
}
