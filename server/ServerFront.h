// SPDX-License-Identifier: GPL-3.0-or-later
// IServerFront: what shows the server to someone (its window's pages; a later front), apart from
// the log, which each front hears through the host's log. The host calls it from the thread that
// changed something (its start, the listener, a refresh the user asked for); a front that shows on
// another thread hands the call over there and never holds the caller.
#pragma once

#include <string>
#include <vector>

// One connection as the list shows it.
struct SConnectionRow {
    // Its adapter's GUID, which a refresh does not move as it may move the index.
    std::string strGuid;
    std::string strName;
    int nMediaType = -1;
    int nStatus = -1;
    bool bShared = false;
    // The kind that the server shares.
    bool bDialup = false;
};

class IServerFront
{
public:
    // The machine's connections, as a refresh read them: none when it found no dial-up
    // connection.
    virtual void ShowConnections(const std::vector<SConnectionRow>& rows) = 0;
    // A refresh found no dial-up connection: the notice, raised at most once at a time.
    virtual void ShowNoDialupNotice() = 0;
    // Where the server listens, as the IP Address label shows it.
    virtual void ShowAddress(const std::string& strShown) = 0;

protected:
    ~IServerFront() = default;
};
