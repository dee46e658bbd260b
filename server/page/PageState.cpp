// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageState.h"

#include "ControlProtocol.h"
#include "PageProtocol.h"

#include <utility>

namespace
{

nlohmann::json EntryJson(std::uint64_t nId, const SLogEntry& entry)
{
    return {{"id", nId},
            {"time", entry.strTimestamp},
            {"text", entry.strText},
            {"warning", entry.Priority == ILogSink::EPriority::Warning}};
}

nlohmann::json ConnectionsJson(const std::vector<SConnectionRow>& rows)
{
    nlohmann::json connections = nlohmann::json::array();
    for (const SConnectionRow& row : rows)
        connections.push_back({{"id", row.strGuid},
                               {"name", row.strName},
                               {"type", ControlProtocol::MediaTypeText(row.nMediaType)},
                               {"status", ControlProtocol::StatusText(row.nStatus)},
                               {"shared", row.bShared},
                               {"dialup", row.bDialup}});
    return connections;
}

std::string StreamEvent(const char* pszEvent, const std::string& strData)
{
    return std::string("event: ") + pszEvent + "\ndata: " + strData + "\n\n";
}

} // namespace

void CPageState::SetHostName(std::string strHostName)
{
    const std::lock_guard lock(m_Mutex);
    m_strHostName = std::move(strHostName);
}

void CPageState::SetPublish(Publish publish)
{
    const std::lock_guard lock(m_Mutex);
    m_Publish = std::move(publish);
}

std::string CPageState::HostName() const
{
    const std::lock_guard lock(m_Mutex);
    return m_strHostName;
}

void CPageState::ShowConnections(const std::vector<SConnectionRow>& rows)
{
    const std::lock_guard lock(m_Mutex);
    m_Rows = rows;
    PublishLocked("connections", PageProtocol::Dump(ConnectionsJson(m_Rows)));
}

void CPageState::ShowAddress(const std::string& strShown)
{
    const std::lock_guard lock(m_Mutex);
    m_strAddress = strShown;
    PublishLocked("address", PageProtocol::Dump(nlohmann::json(strShown)));
}

void CPageState::ShowEntries(const std::vector<SLogEntry>& entries)
{
    const std::lock_guard lock(m_Mutex);
    nlohmann::json added = nlohmann::json::array();
    for (const SLogEntry& entry : entries) {
        added.push_back(EntryJson(m_nNextEntryId, entry));
        m_Entries.push_back({m_nNextEntryId++, entry});
        if (m_Entries.size() > kEntriesKept)
            m_Entries.pop_front();
    }
    PublishLocked("entries", PageProtocol::Dump(added));
}

std::string CPageState::Snapshot(std::uint64_t& nVersion) const
{
    const std::lock_guard lock(m_Mutex);
    nlohmann::json entries = nlohmann::json::array();
    for (const SEntry& entry : m_Entries)
        entries.push_back(EntryJson(entry.nId, entry.entry));
    const nlohmann::json state = {{"host", m_strHostName},
                                  {"address", m_strAddress},
                                  {"connections", ConnectionsJson(m_Rows)},
                                  {"entries", std::move(entries)}};
    nVersion = m_nVersion;
    return StreamEvent("state", PageProtocol::Dump(state));
}

void CPageState::PublishLocked(const char* pszEvent, const std::string& strData)
{
    ++m_nVersion;
    if (m_Publish)
        m_Publish(m_nVersion, StreamEvent(pszEvent, strData));
}
