// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's own connection-sharing service on Linux: its connections are the kernel's network
// interfaces (loopback left out), read afresh at every question; sharing a connection masquerades
// the other networks' forwarded IPv4 traffic out through it, with IPv4 forwarding on. As on the
// original platform one connection at a time is shared, and the state lives in the kernel, so a
// restarted server shows the truth. While a connection is shared the service keeps it so, against
// a flushed rule set or forwarding switched off; under systemd it remembers the sharing for the
// next boot, as the original platform's service does. One server of a network namespace keeps its
// sharing (CSharingKeeper); another one leaves it to that one, and changes nothing.
#pragma once

#include "Clock.h"
#include "FirewallWarnings.h"
#include "KernelReading.h"
#include "LinkAttributes.h"
#include "NftSharingTable.h"
#include "SharingKeeper.h"
#include "SharingStateFile.h"
#include "SharingWatch.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CLinuxSharingService : public std::enable_shared_from_this<CLinuxSharingService>
{
public:
    struct SOptions {
        // Interfaces shown as dial-up: a seam for tests, whose kernels have no PPP.
        std::vector<std::string> DialupInterfaces;
        // Where the sharing is remembered across boots (the service manager's state directory);
        // empty: nothing outlasts the process.
        std::string strStateDirectory;
        std::string strBootIdPath = CSharingStateFile::kBootIdPath;
        // Something that undoes the sharing kMaxUndone times within this time is not fought; the
        // time is this clock's (the host's: the system's in a program, a test's own in a test).
        std::chrono::seconds UndoneWindow{60};
        CClock* pClock = &CClock::System();
        // Runs between a change and the watch that then guards it: a seam for tests.
        std::function<void()> BeforeWatching;
    };

    static constexpr std::size_t kMaxUndone = 5;

    // What the service has to say beyond a change's result; a warning is a failure or a refusal.
    struct SAdvice {
        std::wstring strText;
        bool bWarning = true;
    };

    static std::shared_ptr<CLinuxSharingService> Create(SOptions options);
    // The service of this machine that CoCreateInstance gives when no other is registered; under
    // systemd it remembers its sharing in the unit's state directory.
    static std::shared_ptr<CLinuxSharingService> Machine();

    // The class factory of this service's manager, for CoRegisterClassObject.
    HRESULT GetClassObject(REFIID riid, void** ppv);
    // The first manager starts the service: it takes over a sharing that the kernel holds, or
    // shares again what it was asked before a reboot.
    HRESULT CreateManager(REFIID riid, void** ppv);

    // What the service's COM objects ask of it. A connection is its interface's name, as a
    // dial-up connection outlives its redials: its status, type and sharing are the link's that
    // has the name now, and one that has gone keeps its name and type and is not present. An
    // alias names the connection for the service's life, also once a redial has lost it.
    std::vector<SLinkAttributes> ReadConnections() const;
    SLinkAttributes ReadConnection(const SLinkAttributes& known) const;
    NETCON_MEDIATYPE MediaTypeOf(const SLinkAttributes& link) const;
    HRESULT IsShared(const std::string& strInterface, bool& bShared);
    HRESULT EnableSharing(const std::string& strInterface, SHARINGCONNECTIONTYPE type);
    HRESULT DisableSharing(const std::string& strInterface);
    // Warns of what the other firewalls put between the LAN's clients and the server's port, and
    // keeps the port, for the same check after each sharing.
    void CheckClientPort(int nPort);
    // The oldest advice not yet taken; false when none is left.
    bool TakeAdvice(SAdvice& advice);
    // Set whenever the service says something of its own accord (a sharing it kept or restored);
    // null for no event.
    void SetAdviceEvent(HANDLE hEvent);
    // Between these, the calling thread's questions are answered from one reading of the kernel.
    void BeginReading() { m_Reading.Begin(); }
    void EndReading() { m_Reading.End(); }

private:
    struct SShared {
        std::string strInterface;
        bool bForwardingWasOn = false;
        // The link as it was last seen under the name: the device that the sharing follows.
        SLinkAttributes Link;
    };

    explicit CLinuxSharingService(SOptions options);

    void Start();
    void StartKeeping();
    template <typename TChange>
    HRESULT Change(TChange change);
    // The caller holds the lock for these.
    HRESULT Share(const std::string& strInterface);
    HRESULT Unshare(const std::string& strInterface);
    void TakeOver(const CNftSharingTable::SState& state,
                  const CSharingStateFile::SRecord* pRemembered, const std::string& strBootId);
    void ShareAfterBoot(const std::string& strInterface, const std::string& strBootId);
    // Forgets what was shared, and puts forwarding back as it was before, where it was kept.
    void ForgetSharing();
    // Starts keeping the sharing of the interface, and of its device under another name.
    void Keep(const std::string& strInterface, bool bForwardingWasOn);
    // The caller holds the lock. The shared interface renamed, or its device back under another
    // name: the table and the record follow it, and it is said.
    void FollowUplink();
    void FollowTo(const SLinkAttributes& link);
    // Says once of each other interface that is up and does not forward, while it does not; true
    // when it said something.
    bool SayLansNotForwarding(const std::string& strUplink);
    // The sharing's forwarding switches that are known to be off.
    struct SOffSwitches {
        bool bMachine = false;
        bool bUplink = false;
        bool Any() const { return bMachine || bUplink; }
    };
    SOffSwitches OffSwitches(const std::string& strUplink);
    HRESULT SwitchOn(const SOffSwitches& off, const std::string& strUplink);
    void SayForwardingSwitched(HRESULT hr, const std::wstring& strWhere,
                               const std::wstring& strName);
    void Remember(const std::string& strInterface, const std::string& strBootId);
    std::wstring ConnectionNameOf(const std::string& strInterface) const;
    // Gives a link the alias that its name had on an earlier link, or keeps the one it has.
    void KeepAlias(SLinkAttributes& link) const;
    // The link that has the name now, from the thread's reading where it holds one.
    bool LinkNamed(const std::string& strName, SLinkAttributes& link) const;
    // What nftables or the capability said of a failed change; the text falls back to its code.
    std::string ReasonOf(HRESULT hr) const;
    std::wstring ReasonText(HRESULT hr) const;
    // Watches while a sharing is kept, not otherwise; never called with the lock held.
    void FollowSharing();
    // The watch's handler: puts back what another program undid; false when it gives up.
    bool KeepSharing(const CSharingWatch::SChange& change);
    // Counts one more undoing; true when that makes too many lately.
    bool UndoneTooOften();
    void Notify(std::wstring strText, bool bWarning);
    // Wakes the server to take what was said.
    void Wake();

    // Keeps the warnings for the server, which takes them through the manager; the caller holds
    // the lock.
    void Warn(const char* pszOperation, const std::vector<std::string>& warnings);
    void Advise(std::wstring strText, bool bWarning);
    // Leaves the reason for a refused change as the calling thread's COM error information.
    HRESULT Refuse(HRESULT hr) const;

    const SOptions m_Options;
    // The nftables context serves one caller at a time, and a change is read, then written.
    std::mutex m_Mutex;
    CNftSharingTable m_Table;
    CFirewallWarnings m_Firewalls;
    // The server's receive port, once it has asked; 0 before.
    int m_nClientPort = 0;
    std::deque<SAdvice> m_Advice;
    HANDLE m_hAdviceEvent = nullptr;
    // What this service keeps shared, until an unshare; kept but no longer followed once
    // something undid it too often.
    std::optional<SShared> m_Shared;
    bool m_bGaveUp = false;
    std::set<std::string> m_LansSaidNotForwarding;
    // The aliases of the interfaces, by name, and the link that had each.
    struct SKnownAlias {
        int nIndex;
        std::string strAlias;
    };
    static constexpr std::size_t kMaxKnownAliases = 256;
    mutable std::mutex m_AliasMutex;
    mutable std::map<std::string, SKnownAlias> m_Aliases;
    mutable CKernelReading m_Reading;
    CSharingKeeper m_Keeper;
    std::deque<CClock::SteadyTime> m_Undone;
    const CSharingStateFile m_StateFile;
    std::once_flag m_Started;
    // Starting and stopping the watch; never taken inside m_Mutex's hold.
    std::mutex m_WatchMutex;
    // Last, so that it stops before the rest goes.
    CSharingWatch m_Watch;
};
