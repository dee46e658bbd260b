// SPDX-License-Identifier: GPL-3.0-or-later
// CPageState: what the page shows, as the host last told it: the server's name and address, its
// connections, its paired devices and its newest Log entries. It is a front and a view of the
// host's log like the window's pages, called from whichever thread changed something; every change
// is one event of the page's stream, numbered, so that a stream that began from a later state
// leaves it out.
#pragma once

#include "LogFanOut.h"
#include "ServerFront.h"
#include "server/page/DeviceFile.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CPageState : public IServerFront, public ILogView
{
public:
    // So many entries reach a page as it opens; later ones follow one by one.
    static constexpr std::size_t kEntriesKept = 200;

    // An event for every open stream, in order: its number and its text as the stream sends it.
    using Publish = std::function<void(std::uint64_t nVersion, const std::string& strEvent)>;

    void SetHostName(std::string strHostName);
    // Called with the state's lock held, so that events are published in their order.
    void SetPublish(Publish publish);

    void ShowConnections(const std::vector<SConnectionRow>& rows) override;
    void ShowNoDialupNotice() override {}
    void ShowAddress(const std::string& strShown) override;
    void ShowEntries(const std::vector<SLogEntry>& entries) override;
    void ShowDevices(const std::vector<SPairedDevice>& devices);

    // The stream's first event, the whole state, and the number of the last change in it.
    std::string Snapshot(std::uint64_t& nVersion) const;
    std::string HostName() const;

private:
    struct SEntry {
        std::uint64_t nId;
        SLogEntry entry;
    };

    // The caller holds the lock: the entries from the one at the place, and an event of data made
    // only for an open stream.
    nlohmann::json EntriesJson(std::size_t nFrom) const;
    void PublishLocked(const char* pszEvent, const std::function<nlohmann::json()>& data);

    mutable std::mutex m_Mutex;
    std::string m_strHostName;
    std::string m_strAddress;
    std::vector<SConnectionRow> m_Rows;
    std::vector<SPairedDevice> m_Devices;
    std::deque<SEntry> m_Entries;
    std::uint64_t m_nNextEntryId = 1;
    std::uint64_t m_nVersion = 0;
    Publish m_Publish;
};
