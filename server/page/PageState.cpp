// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageState.h"

#include "ControlProtocol.h"
#include "PageProtocol.h"
#include "server/page/Pairing.h"

#include <algorithm>
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

std::int64_t Milliseconds(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

// The devices as every paired device may see them: never a token's hash.
nlohmann::json DevicesJson(const std::vector<SPairedDevice>& devices)
{
    nlohmann::json list = nlohmann::json::array();
    for (const SPairedDevice& device : devices)
        list.push_back({{"id", device.strId},
                        {"name", device.strName},
                        {"paired", Milliseconds(device.Paired)},
                        {"seen", Milliseconds(device.LastSeen)}});
    return list;
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
    PublishLocked("connections", [this] { return ConnectionsJson(m_Rows); });
}

void CPageState::ShowAddress(const std::string& strShown)
{
    const std::lock_guard lock(m_Mutex);
    m_strAddress = strShown;
    PublishLocked("address", [&strShown] { return nlohmann::json(strShown); });
}

void CPageState::ShowDevices(const std::vector<SPairedDevice>& devices)
{
    const std::lock_guard lock(m_Mutex);
    m_Devices = devices;
    PublishLocked("devices", [this] { return DevicesJson(m_Devices); });
}

// A pairing code is for whoever reads the server's own Log, never for a page.
void CPageState::ShowEntries(const std::vector<SLogEntry>& entries)
{
    const std::lock_guard lock(m_Mutex);
    for (SLogEntry entry : entries) {
        entry.strText = CPairing::Hidden(entry.strText);
        m_Entries.push_back({m_nNextEntryId++, std::move(entry)});
        if (m_Entries.size() > kEntriesKept)
            m_Entries.pop_front();
    }
    const std::size_t nAdded = std::min(entries.size(), m_Entries.size());
    PublishLocked("entries", [this, nAdded] { return EntriesJson(m_Entries.size() - nAdded); });
}

std::string CPageState::Snapshot(std::uint64_t& nVersion) const
{
    const std::lock_guard lock(m_Mutex);
    const nlohmann::json state = {{"host", m_strHostName},
                                  {"address", m_strAddress},
                                  {"connections", ConnectionsJson(m_Rows)},
                                  {"devices", DevicesJson(m_Devices)},
                                  {"entries", EntriesJson(0)}};
    nVersion = m_nVersion;
    return StreamEvent("state", PageProtocol::Dump(state));
}

nlohmann::json CPageState::EntriesJson(std::size_t nFrom) const
{
    nlohmann::json entries = nlohmann::json::array();
    for (std::size_t i = nFrom; i < m_Entries.size(); ++i)
        entries.push_back(EntryJson(m_Entries[i].nId, m_Entries[i].entry));
    return entries;
}

// The event is written only where a page is served: without one, the log and the list cost
// nothing more.
void CPageState::PublishLocked(const char* pszEvent, const std::function<nlohmann::json()>& data)
{
    ++m_nVersion;
    if (m_Publish)
        m_Publish(m_nVersion, StreamEvent(pszEvent, PageProtocol::Dump(data())));
}
