// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's own connection-sharing service on Linux: its connections are the kernel's network
// interfaces (loopback left out), read afresh at every question; sharing a connection masquerades
// the other networks' forwarded IPv4 traffic out through it, with IPv4 forwarding on. As on the
// original platform one connection at a time is shared, and the state lives in the kernel, so a
// restarted server shows the truth.
#pragma once

#include "FirewallCheck.h"
#include "LinkAttributes.h"
#include "NftSharingTable.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CLinuxSharingService : public std::enable_shared_from_this<CLinuxSharingService>
{
public:
    struct SOptions {
        // Interfaces shown as dial-up: a seam for tests, whose kernels have no PPP.
        std::vector<std::string> DialupInterfaces;
    };

    static std::shared_ptr<CLinuxSharingService> Create(SOptions options = {});
    // The service of this machine that CoCreateInstance gives when no other is registered.
    static std::shared_ptr<CLinuxSharingService> Machine();

    // The class factory of this service's manager, for CoRegisterClassObject.
    HRESULT GetClassObject(REFIID riid, void** ppv);
    HRESULT CreateManager(REFIID riid, void** ppv);

    // What the service's COM objects ask of it. A connection is the interface it was when it
    // was enumerated; one that has gone since keeps its name and type and is not present.
    std::vector<SLinkAttributes> ReadConnections() const;
    SLinkAttributes ReadConnection(const SLinkAttributes& known) const;
    NETCON_MEDIATYPE MediaTypeOf(const SLinkAttributes& link) const;
    HRESULT IsShared(const std::string& strInterface, bool& bShared);
    HRESULT EnableSharing(const std::string& strInterface, SHARINGCONNECTIONTYPE type);
    HRESULT DisableSharing(const std::string& strInterface);
    // Warns of what the other firewalls put between the LAN's clients and the server's port, and
    // keeps the port, for the same check after each sharing.
    void CheckClientPort(int nPort);
    // The oldest warning not yet taken; false when none is left.
    bool TakeAdvice(std::string& strAdvice);

private:
    explicit CLinuxSharingService(SOptions options);

    // The other firewalls, as far as they can be read; false when none could be.
    bool ReadOtherFirewalls(CFirewallRuleset& ruleset);
    // The caller holds the lock for these.
    void WarnAfterShare(const std::string& strUplink);
    void WarnAfterUnshare(const std::string& strUplink);
    // The interfaces but the one left out.
    static std::vector<CFirewallCheck::SInterface>
    Without(std::vector<CFirewallCheck::SInterface> interfaces, const std::string& strLeftOut);
    // Where clients come from: the LAN, not the shared uplink or another dial-up link.
    std::vector<CFirewallCheck::SInterface>
    ClientInterfaces(std::vector<CFirewallCheck::SInterface> interfaces,
                     const std::string& strUplink) const;
    // Keeps the warnings for the server, which takes them through the manager; the caller holds
    // the lock.
    void Warn(const char* pszOperation, const std::vector<std::string>& warnings);
    // Leaves the reason for a refused change as the calling thread's COM error information.
    HRESULT Refuse(HRESULT hr) const;
    static HRESULT ReadForwarding(bool& bOn);
    static HRESULT WriteForwarding(bool bOn);

    const SOptions m_Options;
    // The nftables context serves one caller at a time, and a change is read, then written.
    std::mutex m_Mutex;
    CNftSharingTable m_Table;
    // The server's receive port, once it has asked; 0 before.
    int m_nClientPort = 0;
    std::deque<std::string> m_Advice;
};
