// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetworkEventSelections_posix.h"

#include "WinSockLayer_posix.h"

#include <cstring>
#include <poll.h>

namespace WinsockLayer
{

CNetworkEventSelections& CNetworkEventSelections::Instance()
{
    // Never destroyed: a wait may still look at the selections while the process exits.
    static CNetworkEventSelections* pSelections = new CNetworkEventSelections;
    return *pSelections;
}

void CNetworkEventSelections::Select(SOCKET s, WSAEVENT hEvent, long lNetworkEvents)
{
    std::lock_guard lock(m_Mutex);
    ForgetLocked(s);
    if (lNetworkEvents != 0 && hEvent != WSA_INVALID_EVENT) {
        SSelection& selection = m_Selections[s] =
            SSelection{hEvent, lNetworkEvents, lNetworkEvents};
        selection.bConnected = IsConnected(s);
        WakeWaiters(hEvent);
    }
}

void CNetworkEventSelections::Inherit(SOCKET sListening, SOCKET sAccepted)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Selections.find(sListening);
    if (it == m_Selections.end())
        return;
    SSelection& accepted = m_Selections[sAccepted] =
        SSelection{it->second.hEvent, it->second.lMask, it->second.lMask};
    accepted.bConnected = IsConnected(sAccepted);
    WakeWaiters(accepted.hEvent);
}

void CNetworkEventSelections::Reenable(SOCKET s, long lNetworkEvents)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Selections.find(s);
    if (it == m_Selections.end())
        return;
    it->second.lArmed |= it->second.lMask & lNetworkEvents;
    WakeWaiters(it->second.hEvent);
}

void CNetworkEventSelections::MarkConnecting(SOCKET s)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Selections.find(s);
    if (it == m_Selections.end())
        return;
    it->second.bConnecting = true;
    WakeWaiters(it->second.hEvent);
}

bool CNetworkEventSelections::IsSelected(SOCKET s)
{
    std::lock_guard lock(m_Mutex);
    return m_Selections.count(s) != 0;
}

void CNetworkEventSelections::Forget(SOCKET s)
{
    std::lock_guard lock(m_Mutex);
    ForgetLocked(s);
}

bool CNetworkEventSelections::Enumerate(SOCKET s, WSAEVENT hEvent, WSANETWORKEVENTS& events)
{
    std::lock_guard lock(m_Mutex);
    events = WSANETWORKEVENTS{};
    auto it = m_Selections.find(s);
    if (it != m_Selections.end()) {
        RecordLocked(s, it->second);
        events.lNetworkEvents = it->second.lOccurred;
        std::memcpy(events.iErrorCode, it->second.nErrors, sizeof events.iErrorCode);
        it->second.lOccurred = 0;
        std::memset(it->second.nErrors, 0, sizeof it->second.nErrors);
    }
    return hEvent == WSA_INVALID_EVENT || ResetEvent(hEvent) != FALSE;
}

void CNetworkEventSelections::AddDescriptors(HANDLE hEvent, std::vector<pollfd>& fds)
{
    std::lock_guard lock(m_Mutex);
    for (auto& [s, selection] : m_Selections) {
        const short nEvents = selection.hEvent == hEvent ? Wanted(s, selection) : 0;
        if (nEvents != 0)
            fds.push_back(pollfd{s, nEvents, 0});
    }
}

void CNetworkEventSelections::Record(int nFd)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Selections.find(nFd);
    if (it != m_Selections.end())
        RecordLocked(it->first, it->second);
}

CNetworkEventSelections::CNetworkEventSelections()
{
    SetWaitSource(this);
}

void CNetworkEventSelections::ForgetLocked(SOCKET s)
{
    auto it = m_Selections.find(s);
    if (it == m_Selections.end())
        return;
    WakeWaiters(it->second.hEvent);
    m_Selections.erase(it);
}

bool CNetworkEventSelections::HasPendingData(SOCKET s)
{
    char c;
    return ::recv(s, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

short CNetworkEventSelections::Wanted(SOCKET s, SSelection& selection)
{
    const long lArmed = selection.lArmed;
    if (IsListening(s))
        return (lArmed & FD_ACCEPT) != 0 ? POLLIN : 0;
    if (selection.bConnecting)
        return (lArmed & (FD_CONNECT | FD_WRITE)) != 0 ? POLLOUT : 0;
    if (selection.bPeerClosed)
        return (lArmed & FD_READ) != 0 && HasPendingData(s) ? POLLIN : 0;
    if (!IsConnected(s))
        return selection.bConnected && (lArmed & FD_CLOSE) != 0 ? POLLRDHUP : 0;
    selection.bConnected = true;
    short nEvents = 0;
    if ((lArmed & FD_READ) != 0)
        nEvents |= POLLIN;
    if ((lArmed & FD_CLOSE) != 0)
        nEvents |= POLLRDHUP;
    if ((lArmed & FD_WRITE) != 0)
        nEvents |= POLLOUT;
    return nEvents;
}

void CNetworkEventSelections::Occur(SSelection& selection, int nBit, int nError)
{
    const long lEvent = 1L << nBit;
    if ((selection.lArmed & lEvent) == 0)
        return;
    selection.lArmed &= ~lEvent;
    selection.lOccurred |= lEvent;
    selection.nErrors[nBit] = nError;
    SetEvent(selection.hEvent);
}

void CNetworkEventSelections::RecordLocked(SOCKET s, SSelection& selection)
{
    pollfd fd{s, Wanted(s, selection), 0};
    if (fd.events == 0 || ::poll(&fd, 1, 0) <= 0)
        return;
    if (IsListening(s)) {
        Occur(selection, FD_ACCEPT_BIT, 0);
        return;
    }
    if (selection.bConnecting) {
        selection.bConnecting = false;
        const int nError = PendingError(s);
        Occur(selection, FD_CONNECT_BIT, nError);
        if (nError == 0)
            Occur(selection, FD_WRITE_BIT, 0);
        return;
    }
    bool bEnded = (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    if ((fd.revents & POLLIN) != 0) {
        char c;
        const ssize_t n = ::recv(s, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0)
            Occur(selection, FD_READ_BIT, 0);
        else if (n == 0)
            bEnded = true;
    }
    if (bEnded && !selection.bPeerClosed) {
        selection.bPeerClosed = true;
        Occur(selection, FD_CLOSE_BIT, PendingError(s));
    }
    if ((fd.revents & POLLOUT) != 0 && !selection.bPeerClosed)
        Occur(selection, FD_WRITE_BIT, 0);
}

} // namespace WinsockLayer
