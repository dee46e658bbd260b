// SPDX-License-Identifier: GPL-3.0-or-later
// CSharingKeeper: which server keeps the sharing of a network namespace, so that two servers
// with CAP_NET_ADMIN (a desktop server beside the service, say) never take each other's changes
// for a foreign program's and undo them. The keeper holds an abstract Unix socket name, which is
// its network namespace's alone, as the table is, while it keeps a sharing; the name goes with
// the process.
#pragma once

class CSharingKeeper
{
public:
    static constexpr const char* kName = "tarnlow-server-sharing";

    CSharingKeeper() = default;
    ~CSharingKeeper() { Release(); }
    CSharingKeeper(const CSharingKeeper&) = delete;
    CSharingKeeper& operator=(const CSharingKeeper&) = delete;

    // Takes the name unless this object holds it already; false while another holds it.
    bool TryToKeep();
    bool IsKeeper() const { return m_nFd >= 0; }
    // Lets the name go, for another server to keep what it shares.
    void Release();

private:
    int m_nFd = -1;
};
