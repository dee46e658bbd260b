// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionsFollower.h"

#include "Format.h"

#include <algorithm>

namespace
{

bool IsUp(const CMyNetConnection::SState& state)
{
    return state.nStatus == NCS_CONNECTED;
}

const CMyNetConnection::SState* Find(const std::vector<CMyNetConnection::SState>& states,
                                     const std::function<bool(const CMyNetConnection::SState&)>& is)
{
    const auto it = std::find_if(states.begin(), states.end(), is);
    return it != states.end() ? &*it : nullptr;
}

} // namespace

CConnectionsFollower::SNotifications CConnectionsFollower::SNotifications::System()
{
    return {[](PIPINTERFACE_CHANGE_CALLBACK pCallback, PVOID pContext, HANDLE* phNotification) {
                return NotifyIpInterfaceChange(AF_UNSPEC, pCallback, pContext, FALSE,
                                               phNotification);
            },
            [](HANDLE hNotification) { return CancelMibChangeNotify2(hNotification); }};
}

CConnectionsFollower::CConnectionsFollower(CSharedConnections& connections, ILogSink& log,
                                           CClock& clock, SNotifications notifications,
                                           std::function<void()> refresh)
    : m_Connections(connections), m_Log(log), m_Clock(clock),
      m_Notifications(std::move(notifications)), m_Refresh(std::move(refresh)),
      m_hEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
}

CConnectionsFollower::~CConnectionsFollower()
{
    Stop();
    if (m_hEvent != nullptr)
        CloseHandle(m_hEvent);
}

bool CConnectionsFollower::Start()
{
    Track();
    const NETIO_STATUS status = m_hEvent != nullptr
                                    ? m_Notifications.Notify(OnChange, this, &m_hNotification)
                                    : ERROR_NOT_ENOUGH_MEMORY;
    if (status == NO_ERROR)
        return true;
    m_hNotification = nullptr;
    OutputDebugStringA(FormatText("CConnectionsFollower::Start(): NotifyIpInterfaceChange() "
                                  "failed with error: %u\n",
                                  static_cast<unsigned>(status))
                           .c_str());
    return false;
}

void CConnectionsFollower::Stop()
{
    if (m_hNotification != nullptr)
        m_Notifications.Cancel(m_hNotification);
    m_hNotification = nullptr;
}

// Called on a thread of the system's: it only wakes the listener.
void CConnectionsFollower::OnChange(PVOID pContext, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE)
{
    SetEvent(static_cast<CConnectionsFollower*>(pContext)->m_hEvent);
}

std::optional<CClock::SteadyTime> CConnectionsFollower::Deadline() const
{
    std::optional<CClock::SteadyTime> deadline;
    if (m_bRefreshDue)
        deadline =
            m_LastRefresh + (ChangesTooOften() ? CClock::SteadyTime::duration(kChangesWindow)
                                               : CClock::SteadyTime::duration(kRefreshEvery));
    if (m_nHeldChanges > 0)
        deadline =
            std::min(deadline.value_or(CClock::SteadyTime::max()), m_HeldSince + kChangesWindow);
    return deadline;
}

std::vector<CMyNetConnection::SState> CConnectionsFollower::ReadStates()
{
    return m_Connections.With([](CMyNetConnection& manager) { return manager.ConnectionStates(); });
}

void CConnectionsFollower::Track()
{
    const auto states = ReadStates();
    m_Guids.clear();
    for (const CMyNetConnection::SState& state : states)
        m_Guids.insert(state.strGuid);
    m_Shared.reset();
    TellStory(states);
}

void CConnectionsFollower::Follow()
{
    const auto states = ReadStates();
    std::set<std::string> guids;
    for (const CMyNetConnection::SState& state : states)
        guids.insert(state.strGuid);
    TellStory(states);
    if (guids != m_Guids)
        m_bRefreshDue = true;
    m_Guids = std::move(guids);
    TellHeldChanges();
    RefreshWhenDue();
}

// The list follows a connection that appears or vanishes, at most once a second; while a
// connection changes too often, once a minute.
void CConnectionsFollower::RefreshWhenDue()
{
    const CClock::SteadyTime now = m_Clock.SteadyNow();
    if (!m_bRefreshDue || now < Deadline().value_or(now))
        return;
    m_bRefreshDue = false;
    m_LastRefresh = now;
    m_Refresh();
}

// The shared connection is known by its adapter's GUID. One that stops being shared, or that the
// service follows to another name (it says so itself), is followed without a word.
void CConnectionsFollower::TellStory(const std::vector<CMyNetConnection::SState>& states)
{
    const CMyNetConnection::SState* pShared =
        Find(states, [](const CMyNetConnection::SState& state) { return state.bShared; });
    const CMyNetConnection::SState* pKnown =
        m_Shared ? Find(states,
                        [this](const CMyNetConnection::SState& state) {
                            return state.strGuid == m_Shared->strGuid;
                        })
                 : nullptr;
    if (!m_Shared || (pKnown != nullptr && !pKnown->bShared) || (pKnown == nullptr && pShared)) {
        const bool bFollowed = m_Shared && pKnown == nullptr;
        const bool bWasUp = m_Shared && m_Shared->bUp && m_Shared->bPresent;
        m_Shared.reset();
        if (pShared == nullptr)
            return;
        m_Shared = SShared{pShared->strGuid, pShared->strName, IsUp(*pShared), true};
        // Followed while it was down, it may be up under its new name.
        if (bFollowed && !bWasUp && m_Shared->bUp)
            Tell(pShared->strName + " is back, and still shared", false);
        return;
    }
    if (pKnown == nullptr) {
        TellGone(states);
        return;
    }
    const bool bUp = IsUp(*pKnown);
    const bool bWasUp = m_Shared->bUp && m_Shared->bPresent;
    m_Shared->strName = pKnown->strName;
    m_Shared->bPresent = true;
    m_Shared->bUp = bUp;
    if (bWasUp && !bUp)
        Tell(pKnown->strName + " went down: the LAN is without the Internet until it comes back",
             true);
    else if (!bWasUp && bUp)
        Tell(pKnown->strName + " is back, and still shared", false);
}

// The shared connection vanished: it may come back under its name (a redial), or another dial-up
// connection may come in its place, which is not shared.
void CConnectionsFollower::TellGone(const std::vector<CMyNetConnection::SState>& states)
{
    const CMyNetConnection::SState* pCame =
        Find(states, [this](const CMyNetConnection::SState& state) {
            return state.nMediaType == NCM_PHONE && m_Guids.count(state.strGuid) == 0;
        });
    const std::string& strName = m_Shared->strName;
    if (pCame != nullptr)
        Tell(m_Shared->bPresent
                 ? strName + " is gone, and a new dial-up connection, " + pCame->strName +
                       ", came: the LAN is without the Internet until one of them is shared"
                 : "A new dial-up connection, " + pCame->strName + ", came while " + strName +
                       " is gone: the LAN is without the Internet until one of them is shared",
             true);
    else if (m_Shared->bPresent)
        Tell(strName + " is gone: the LAN is without the Internet until it comes back", true);
    m_Shared->bPresent = false;
    m_Shared->bUp = false;
}

void CConnectionsFollower::Tell(const std::string& strEntry, bool bWarning)
{
    const CClock::SteadyTime now = m_Clock.SteadyNow();
    while (!m_Changes.empty() && now - m_Changes.front() >= kChangesWindow)
        m_Changes.pop_front();
    m_Changes.push_back(now);
    if (!ChangesTooOften()) {
        m_Log.AddEntry(strEntry,
                       bWarning ? ILogSink::EPriority::Warning : ILogSink::EPriority::Info);
        return;
    }
    if (m_nHeldChanges++ == 0)
        m_HeldSince = now;
}

bool CConnectionsFollower::ChangesTooOften() const
{
    return m_Changes.size() > kMaxChangesTold;
}

// What a connection that changes too often did is told in one entry a minute; once it is no
// longer shared, nothing is left to tell.
void CConnectionsFollower::TellHeldChanges()
{
    if (m_nHeldChanges == 0 || m_Clock.SteadyNow() < m_HeldSince + kChangesWindow)
        return;
    m_nHeldChanges = 0;
    if (!m_Shared)
        return;
    const bool bUp = m_Shared->bUp && m_Shared->bPresent;
    m_Log.AddEntry(FormatText("%s went down and came back again and again (%u changes within a "
                              "minute): the LAN %s",
                              m_Shared->strName.c_str(), static_cast<unsigned>(m_Changes.size()),
                              bUp ? "has the Internet now" : "is without the Internet now"),
                   bUp ? ILogSink::EPriority::Info : ILogSink::EPriority::Warning);
}
