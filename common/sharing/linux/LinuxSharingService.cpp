// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinuxSharingService.h"
#include "StateDirectory.h"

#include "CodePageText.h"
#include "ForwardingSwitch.h"
#include "Kernel.h"
#include "LinuxSharingObjects.h"
#include "NetAdmin.h"
#include "RtNetlink.h"
#include "SharingServiceObjects.h"

#include <algorithm>
#include <cwchar>
#include <linux/if.h>

CLinuxSharingService::CLinuxSharingService(SOptions options)
    : m_Options(std::move(options)),
      m_Firewalls(CNftSharingTable::Name(),
                  [this](int nIndex) {
                      SLinkAttributes link;
                      return CRtNetlink::ReadLink(nIndex, link) && MediaTypeOf(link) == NCM_PHONE;
                  }),
      m_StateFile(m_Options.strStateDirectory)
{
}

std::shared_ptr<CLinuxSharingService> CLinuxSharingService::Create(SOptions options)
{
    return std::shared_ptr<CLinuxSharingService>(new CLinuxSharingService(std::move(options)));
}

std::shared_ptr<CLinuxSharingService> CLinuxSharingService::Machine()
{
    static const auto* pMachine = new std::shared_ptr([] {
        SOptions options;
        options.strStateDirectory = StateDirectory::Service();
        return Create(std::move(options));
    }());
    return *pMachine;
}

HRESULT CLinuxSharingService::GetClassObject(REFIID riid, void** ppv)
{
    return QueryNewObject(new CSharingClassFactory(shared_from_this()), riid, ppv);
}

HRESULT CLinuxSharingService::CreateManager(REFIID riid, void** ppv)
{
    std::call_once(m_Started, [this] { Start(); });
    return NewLinuxSharingManager(shared_from_this(), riid, ppv);
}

std::vector<SLinkAttributes> CLinuxSharingService::ReadConnections() const
{
    std::vector<SLinkAttributes> links;
    if (!m_Reading.Links(&CRtNetlink::ReadLinks, links))
        OutputDebugStringA("CLinuxSharingService::ReadConnections(): The kernel was not asked\n");
    std::erase_if(links, [](const SLinkAttributes& link) { return link.IsLoopback(); });
    for (SLinkAttributes& link : links)
        KeepAlias(link);
    return links;
}

SLinkAttributes CLinuxSharingService::ReadConnection(const SLinkAttributes& known) const
{
    SLinkAttributes link;
    if (!LinkNamed(known.strName, link)) {
        link = known;
        link.nFlags = 0;
        link.nOperState = IF_OPER_NOTPRESENT;
    }
    KeepAlias(link);
    return link;
}

bool CLinuxSharingService::LinkNamed(const std::string& strName, SLinkAttributes& link) const
{
    if (!m_Reading.IsHeldHere())
        return CRtNetlink::ReadLinkNamed(strName, link);
    std::vector<SLinkAttributes> links;
    if (!m_Reading.Links(&CRtNetlink::ReadLinks, links))
        return false;
    const auto found = std::find_if(links.begin(), links.end(), [&strName](const auto& candidate) {
        return candidate.strName == strName;
    });
    if (found == links.end())
        return false;
    link = *found;
    return true;
}

// An alias taken from a link that is still there is forgotten with it.
void CLinuxSharingService::KeepAlias(SLinkAttributes& link) const
{
    std::lock_guard lock(m_AliasMutex);
    const auto it = m_Aliases.find(link.strName);
    if (!link.strAlias.empty()) {
        if (it == m_Aliases.end() && m_Aliases.size() >= kMaxKnownAliases)
            m_Aliases.erase(m_Aliases.begin());
        m_Aliases[link.strName] = {link.nIndex, link.strAlias};
    } else if (it != m_Aliases.end() && it->second.nIndex == link.nIndex &&
               link.nOperState != IF_OPER_NOTPRESENT) {
        m_Aliases.erase(it);
    } else if (it != m_Aliases.end()) {
        link.strAlias = it->second.strAlias;
    }
}

NETCON_MEDIATYPE CLinuxSharingService::MediaTypeOf(const SLinkAttributes& link) const
{
    const auto& dialup = m_Options.DialupInterfaces;
    if (std::find(dialup.begin(), dialup.end(), link.strName) != dialup.end())
        return NCM_PHONE;
    return link.MediaType();
}

HRESULT CLinuxSharingService::IsShared(const std::string& strInterface, bool& bShared)
{
    std::lock_guard lock(m_Mutex);
    // Whoever asks next sees a renamed uplink followed, whether or not the watch has yet.
    FollowUplink();
    CNftSharingTable::SState state;
    const HRESULT hr =
        m_Reading.Table([this](CNftSharingTable::SState& now) { return m_Table.Read(now); }, state);
    bShared = SUCCEEDED(hr) && state.bPresent && state.strInterface == strInterface;
    return hr;
}

HRESULT CLinuxSharingService::EnableSharing(const std::string& strInterface,
                                            SHARINGCONNECTIONTYPE type)
{
    if (type != ICSSHARINGTYPE_PUBLIC || !CNftSharingTable::IsSafeInterfaceName(strInterface))
        return E_INVALIDARG;
    return Change([&] { return Share(strInterface); });
}

// A change is made under the lock; the watch follows it once the lock is let go.
template <typename TChange>
HRESULT CLinuxSharingService::Change(TChange change)
{
    if (!HasNetAdmin())
        return Refuse(E_ACCESSDENIED);
    HRESULT hr = S_OK;
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Keeper.TryToKeep())
            return ReportFailure(E_ACCESSDENIED, L"another Tarnlow server keeps the sharing of "
                                                 L"this machine");
        hr = change();
        m_Reading.Drop();
        // The server that keeps nothing lets another keep what that one shares.
        if (!m_Shared)
            m_Keeper.Release();
    }
    FollowSharing();
    return hr;
}

HRESULT CLinuxSharingService::Share(const std::string& strInterface)
{
    CNftSharingTable::SState state;
    HRESULT hr = m_Table.Read(state);
    // Forwarding before the sharing: as the table says, else as this service kept it (the table
    // may have been emptied), else as it is now.
    bool bForwardingWasOn = state.bForwardingWasOn;
    if (SUCCEEDED(hr) && !state.bPresent && m_Shared)
        bForwardingWasOn = m_Shared->bForwardingWasOn;
    else if (SUCCEEDED(hr) && !state.bPresent)
        hr = CForwardingSwitch::Read(bForwardingWasOn);
    if (SUCCEEDED(hr))
        hr = CForwardingSwitch::Write(true);
    if (FAILED(hr))
        return Refuse(hr);
    // Replies come in through the uplink: its own switch is part of the sharing. An uplink that
    // is not there yet takes the machine's when it comes.
    CForwardingSwitch::Write(true, strInterface);
    hr = m_Table.Replace(strInterface, bForwardingWasOn);
    // Nothing was shared before a first sharing that failed, so forwarding goes back as it was.
    if (FAILED(hr) && !state.bPresent)
        CForwardingSwitch::Write(bForwardingWasOn);
    if (FAILED(hr))
        return Refuse(hr);
    Keep(strInterface, bForwardingWasOn);
    m_bGaveUp = false;
    m_Undone.clear();
    Remember(strInterface, CSharingStateFile::ReadBootId(m_Options.strBootIdPath));
    Warn("EnableSharing", m_Firewalls.AfterShare(strInterface, m_nClientPort));
    m_LansSaidNotForwarding.clear();
    SayLansNotForwarding(strInterface);
    return hr;
}

HRESULT CLinuxSharingService::DisableSharing(const std::string& strInterface)
{
    return Change([&] { return Unshare(strInterface); });
}

HRESULT CLinuxSharingService::Unshare(const std::string& strInterface)
{
    CNftSharingTable::SState state;
    HRESULT hr = m_Table.Read(state);
    if (FAILED(hr))
        return Refuse(hr);
    // A sharing that was undone and not restored, or remembered and not shared again, is still
    // forgotten when it is unshared.
    if (!state.bPresent || state.strInterface != strInterface) {
        CSharingStateFile::SRecord remembered;
        if (m_Shared && m_Shared->strInterface == strInterface)
            ForgetSharing();
        else if (m_StateFile.Read(remembered) && remembered.strInterface == strInterface)
            m_StateFile.Forget();
        return hr;
    }
    hr = m_Table.Remove();
    if (SUCCEEDED(hr) && !state.bForwardingWasOn)
        hr = CForwardingSwitch::Write(false);
    if (FAILED(hr))
        return Refuse(hr);
    m_Shared.reset();
    m_StateFile.Forget();
    // Another firewall may masquerade the LAN out through the uplink by itself, where forwarding
    // stays on.
    bool bForwarding = false;
    if (SUCCEEDED(CForwardingSwitch::Read(bForwarding)) && bForwarding)
        Warn("DisableSharing", m_Firewalls.AfterUnshare(strInterface));
    return hr;
}

HRESULT CLinuxSharingService::Refuse(HRESULT hr) const
{
    const std::string strReason = ReasonOf(hr);
    // nftables' messages and our own are ASCII.
    return strReason.empty() ? hr
                             : ReportFailure(hr, std::wstring(strReason.begin(), strReason.end()));
}

std::string CLinuxSharingService::ReasonOf(HRESULT hr) const
{
    if (hr == E_ACCESSDENIED)
        return "the server does not have the CAP_NET_ADMIN capability";
    if (!m_Table.LastError().empty())
        return "nftables said: " + m_Table.LastError();
    return std::string();
}

std::wstring CLinuxSharingService::ReasonText(HRESULT hr) const
{
    const std::string strReason = ReasonOf(hr);
    if (!strReason.empty())
        return WideText(strReason);
    wchar_t cCode[32] = {};
    std::swprintf(cCode, 32, L"error 0x%08X", static_cast<unsigned>(hr));
    return cCode;
}

// A sharing that the kernel holds is kept; one remembered from another boot is made again; one
// remembered from this boot whose table is gone was removed by hand, and is forgotten. Where the
// boot cannot be told, nothing remembered is made again. Only the one server of the namespace
// that keeps its sharing does any of it; another leaves it to that one, and says so.
void CLinuxSharingService::Start()
{
    {
        std::lock_guard lock(m_Mutex);
        StartKeeping();
    }
    FollowSharing();
}

// The caller holds the lock.
void CLinuxSharingService::StartKeeping()
{
    CSharingStateFile::SRecord remembered;
    const bool bRemembered = m_StateFile.Read(remembered);
    const std::string strBootId = CSharingStateFile::ReadBootId(m_Options.strBootIdPath);
    CNftSharingTable::SState state;
    const HRESULT hr = m_Table.Read(state);
    if (!(SUCCEEDED(hr) && state.bPresent) && !bRemembered)
        return;
    if (!m_Keeper.TryToKeep()) {
        Advise(L"Another Tarnlow server keeps the sharing of this machine: this one leaves it to "
               L"that one",
               true);
        return;
    }
    if (SUCCEEDED(hr) && state.bPresent) {
        TakeOver(state, bRemembered ? &remembered : nullptr, strBootId);
    } else if (bRemembered && strBootId.empty()) {
        OutputDebugStringA("CLinuxSharingService::Start(): the boot cannot be told, the "
                           "remembered sharing is not made again\n");
    } else if (bRemembered && remembered.strBootId != strBootId) {
        ShareAfterBoot(remembered.strInterface, strBootId);
    } else if (bRemembered && SUCCEEDED(hr)) {
        OutputDebugStringA("CLinuxSharingService::Start(): the table was removed in this "
                           "boot, the sharing is forgotten\n");
        m_StateFile.Forget();
    }
    if (!m_Shared)
        m_Keeper.Release();
}

// The caller holds the lock.
void CLinuxSharingService::TakeOver(const CNftSharingTable::SState& state,
                                    const CSharingStateFile::SRecord* pRemembered,
                                    const std::string& strBootId)
{
    Keep(state.strInterface, state.bForwardingWasOn);
    // A table left by an older version is brought up to date.
    if (!state.bComplete && FAILED(m_Table.Replace(state.strInterface, state.bForwardingWasOn)))
        OutputDebugStringA("CLinuxSharingService::Start(): the table could not be brought up to "
                           "date\n");
    if (pRemembered == nullptr || pRemembered->strInterface != state.strInterface ||
        pRemembered->strBootId != strBootId)
        Remember(state.strInterface, strBootId);
    // A table is no sharing without forwarding: switched off before this start, it goes on now.
    const SOffSwitches off = OffSwitches(state.strInterface);
    if (off.Any() && SUCCEEDED(SwitchOn(off, state.strInterface)))
        Advise(L"IPv4 forwarding was off when the server started, and is switched on for the "
               L"sharing of " +
                   ConnectionNameOf(state.strInterface),
               true);
    SayLansNotForwarding(state.strInterface);
}

// Forwarding before the sharing is what this boot's own settings made it.
void CLinuxSharingService::ShareAfterBoot(const std::string& strInterface,
                                          const std::string& strBootId)
{
    bool bForwardingWasOn = false;
    HRESULT hr = CForwardingSwitch::Read(bForwardingWasOn);
    if (SUCCEEDED(hr))
        hr = CForwardingSwitch::Write(true);
    if (SUCCEEDED(hr))
        hr = m_Table.Replace(strInterface, bForwardingWasOn);
    const std::wstring strName = ConnectionNameOf(strInterface);
    if (FAILED(hr)) {
        // Nothing shared, nothing forwarded for it; the record stays for the next boot, and an
        // Unshare forgets it.
        CForwardingSwitch::Write(bForwardingWasOn);
        Advise(strName + L" could not be shared again after the restart: " + ReasonText(hr), true);
        return;
    }
    Keep(strInterface, bForwardingWasOn);
    Remember(strInterface, strBootId);
    Advise(L"Shared " + strName + L" again, as before the restart", false);
}

// The caller holds the lock. A boot that cannot be told is not written: the record would not
// tell the next boot from this one.
void CLinuxSharingService::Remember(const std::string& strInterface, const std::string& strBootId)
{
    if (!m_StateFile.IsKept() ||
        (!strBootId.empty() && m_StateFile.Write({strInterface, strBootId})))
        return;
    Advise(L"The sharing of " + ConnectionNameOf(strInterface) +
               L" will not outlast a restart: it could not be saved",
           true);
}

// The caller holds the lock.
void CLinuxSharingService::Keep(const std::string& strInterface, bool bForwardingWasOn)
{
    m_Shared = SShared{strInterface, bForwardingWasOn, {}};
    CRtNetlink::ReadLinkNamed(strInterface, m_Shared->Link);
}

void CLinuxSharingService::FollowUplink()
{
    if (!m_Shared)
        return;
    // The link under the name, another one after a redial, or the first one after a boot that
    // shared the name before it came, is the connection now.
    SLinkAttributes now;
    if (LinkNamed(m_Shared->strInterface, now)) {
        if (now.nIndex != m_Shared->Link.nIndex)
            m_Shared->Link = now;
        return;
    }
    if (m_Shared->Link.nIndex == 0)
        return;
    for (const SLinkAttributes& link : ReadConnections()) {
        if (link.IsSameDeviceAs(m_Shared->Link) &&
            CNftSharingTable::IsSafeInterfaceName(link.strName)) {
            FollowTo(link);
            return;
        }
    }
}

// The record follows too, so that the next boot shares the new name; the alias that named the
// connection goes with it.
void CLinuxSharingService::FollowTo(const SLinkAttributes& link)
{
    SLinkAttributes was = m_Shared->Link;
    KeepAlias(was);
    const std::wstring strWas = was.ConnectionName();
    const HRESULT hr = m_Table.Replace(link.strName, m_Shared->bForwardingWasOn);
    m_Reading.Drop();
    if (FAILED(hr)) {
        Notify(strWas + L" is now " + WideText(link.strName) +
                   L", the same device, and could not be shared there: " + ReasonText(hr),
               true);
        return;
    }
    CForwardingSwitch::Write(true, link.strName);
    {
        std::lock_guard lock(m_AliasMutex);
        if (link.strAlias.empty() && !was.strAlias.empty())
            m_Aliases[link.strName] = {was.nIndex, was.strAlias};
    }
    m_Shared->strInterface = link.strName;
    m_Shared->Link = link;
    Remember(link.strName, CSharingStateFile::ReadBootId(m_Options.strBootIdPath));
    Notify(strWas + L" is now " + WideText(link.strName) +
               L", the same device, and is still shared",
           false);
}

// The caller holds the lock.
void CLinuxSharingService::ForgetSharing()
{
    if (!m_Shared->bForwardingWasOn)
        CForwardingSwitch::Write(false);
    m_Shared.reset();
    m_StateFile.Forget();
}

// The caller holds the lock. A switch that cannot be read is taken as on: only a switch known to
// be off is switched on, or counted as undone.
CLinuxSharingService::SOffSwitches CLinuxSharingService::OffSwitches(const std::string& strUplink)
{
    SOffSwitches off;
    bool bOn = true;
    if (FAILED(CForwardingSwitch::Read(bOn)))
        OutputDebugStringA("CLinuxSharingService::OffSwitches(): forwarding cannot be read\n");
    off.bMachine = !bOn;
    bOn = true;
    CForwardingSwitch::Read(bOn, strUplink);
    off.bUplink = !bOn;
    return off;
}

HRESULT CLinuxSharingService::SwitchOn(const SOffSwitches& off, const std::string& strUplink)
{
    HRESULT hr = off.bMachine ? CForwardingSwitch::Write(true) : S_OK;
    if (SUCCEEDED(hr) && off.bUplink)
        hr = CForwardingSwitch::Write(true, strUplink);
    return hr;
}

// The caller holds the lock. Forwarding off on a LAN's interface may be its administrator's
// choice (a guest network kept off): it is said once, and left as it is.
bool CLinuxSharingService::SayLansNotForwarding(const std::string& strUplink)
{
    bool bSaid = false;
    for (const SLinkAttributes& link : ReadConnections()) {
        bool bOn = true;
        if (link.strName == strUplink || (link.nFlags & IFF_UP) == 0 ||
            FAILED(CForwardingSwitch::Read(bOn, link.strName)) || bOn) {
            m_LansSaidNotForwarding.erase(link.strName);
            continue;
        }
        if (!m_LansSaidNotForwarding.insert(link.strName).second)
            continue;
        Advise(L"IPv4 forwarding is switched off on " + WideText(link.strName) +
                   L", so the LAN there does not get out through " + ConnectionNameOf(strUplink),
               true);
        bSaid = true;
    }
    return bSaid;
}

std::wstring CLinuxSharingService::ConnectionNameOf(const std::string& strInterface) const
{
    for (const SLinkAttributes& link : ReadConnections()) {
        if (link.strName == strInterface)
            return link.ConnectionName();
    }
    return WideText(strInterface);
}

// Whatever undid the sharing between its change and the watch's start is found by a reading of
// the state once the watch listens.
void CLinuxSharingService::FollowSharing()
{
    std::lock_guard watchLock(m_WatchMutex);
    bool bFollow = false;
    {
        std::lock_guard lock(m_Mutex);
        bFollow = m_Shared && !m_bGaveUp && m_Keeper.IsKeeper();
    }
    if (bFollow == m_Watch.IsWatching())
        return;
    if (!bFollow) {
        m_Watch.Stop();
        return;
    }
    if (m_Options.BeforeWatching)
        m_Options.BeforeWatching();
    CSharingWatch::SChange everything;
    everything.bRuleset = everything.bForwarding = true;
    if (m_Watch.Start(
            [this](const CSharingWatch::SChange& change) { return KeepSharing(change); }) &&
        !KeepSharing(everything))
        m_Watch.Stop();
}

bool CLinuxSharingService::KeepSharing(const CSharingWatch::SChange& change)
{
    std::lock_guard lock(m_Mutex);
    // What the kernel told is read again by whoever asks next.
    m_Reading.Drop();
    if (!m_Shared || m_bGaveUp)
        return false;
    if (change.bLinks)
        FollowUplink();
    // A table undone by a transaction that is not in this batch is put right when that
    // transaction's own notification comes, which names its program.
    bool bTableKept = true;
    if (change.bRuleset) {
        CNftSharingTable::SState state;
        if (FAILED(m_Table.Read(state))) {
            OutputDebugStringA(
                "CLinuxSharingService::KeepSharing(): the table could not be read\n");
            return true;
        }
        bTableKept = state.bComplete && state.strInterface == m_Shared->strInterface;
    }
    const std::string strUplink = m_Shared->strInterface;
    const SOffSwitches off = OffSwitches(strUplink);
    if (bTableKept && !off.Any()) {
        if (change.bForwarding && SayLansNotForwarding(strUplink))
            Wake();
        return true;
    }
    const std::wstring strName = ConnectionNameOf(strUplink);
    const std::wstring strBy =
        change.strProgram.empty() ? std::wstring() : L" by " + WideText(change.strProgram);
    if (UndoneTooOften()) {
        m_bGaveUp = true;
        Notify(L"The sharing of " + strName + L" was undone " + std::to_wstring(kMaxUndone) +
                   L" times within a minute" + (bTableKept ? L"" : strBy) +
                   L", and is no longer restored",
               true);
        return false;
    }
    if (!bTableKept) {
        const HRESULT hr = m_Table.Replace(m_Shared->strInterface, m_Shared->bForwardingWasOn);
        Notify(L"The sharing of " + strName + L" was undone" + strBy +
                   (SUCCEEDED(hr) ? L", and is restored"
                                  : L", and could not be restored: " + ReasonText(hr)),
               true);
    }
    if (off.bMachine)
        SayForwardingSwitched(SwitchOn({true, false}, strUplink), L"", strName);
    // Writing the machine's switch sets every interface's: the uplink's and the LANs' are read
    // after it.
    if (OffSwitches(strUplink).bUplink)
        SayForwardingSwitched(SwitchOn({false, true}, strUplink), L" on " + WideText(strUplink),
                              strName);
    if (SayLansNotForwarding(strUplink))
        Wake();
    return true;
}

void CLinuxSharingService::SayForwardingSwitched(HRESULT hr, const std::wstring& strWhere,
                                                 const std::wstring& strName)
{
    Notify(L"IPv4 forwarding was switched off" + strWhere +
               (SUCCEEDED(hr) ? L", and is switched on again for the sharing of "
                              : L", and could not be switched on again for the sharing of ") +
               strName,
           true);
}

bool CLinuxSharingService::UndoneTooOften()
{
    const CClock::SteadyTime now = m_Options.pClock->SteadyNow();
    while (!m_Undone.empty() && now - m_Undone.front() >= m_Options.UndoneWindow)
        m_Undone.pop_front();
    m_Undone.push_back(now);
    return m_Undone.size() >= kMaxUndone;
}

void CLinuxSharingService::CheckClientPort(int nPort)
{
    std::lock_guard lock(m_Mutex);
    m_nClientPort = nPort;
    CNftSharingTable::SState state;
    if (SUCCEEDED(m_Table.Read(state)))
        Warn("CheckClientPort", m_Firewalls.ForClients(state.strInterface, nPort));
}

void CLinuxSharingService::Warn(const char* pszOperation, const std::vector<std::string>& warnings)
{
    for (const std::string& strWarning : warnings) {
        OutputDebugStringA(
            ("CLinuxSharingService::" + std::string(pszOperation) + "(): " + strWarning + "\n")
                .c_str());
        Advise(WideText(strWarning), true);
    }
}

void CLinuxSharingService::Advise(std::wstring strText, bool bWarning)
{
    m_Advice.push_back({std::move(strText), bWarning});
}

// Said of the service's own accord: the server is woken to take it at once.
void CLinuxSharingService::Notify(std::wstring strText, bool bWarning)
{
    Advise(std::move(strText), bWarning);
    Wake();
}

void CLinuxSharingService::Wake()
{
    if (m_hAdviceEvent != nullptr)
        SetEvent(m_hAdviceEvent);
}

bool CLinuxSharingService::TakeAdvice(SAdvice& advice)
{
    std::lock_guard lock(m_Mutex);
    if (m_Advice.empty())
        return false;
    advice = std::move(m_Advice.front());
    m_Advice.pop_front();
    return true;
}

void CLinuxSharingService::SetAdviceEvent(HANDLE hEvent)
{
    std::lock_guard lock(m_Mutex);
    m_hAdviceEvent = hEvent;
}
