// SPDX-License-Identifier: GPL-3.0-or-later
// CNetworkEventSelections: the network-event state machine of our Winsock. A thread waiting on an
// event object polls the sockets selected onto it itself, and what it finds is recorded with the
// Winsock rules: an event that has been recorded is not recorded again until the call that
// re-enables it (accept for FD_ACCEPT, recv for FD_READ, a send that would block for FD_WRITE).
#pragma once

#include "WaitSource_posix.h"
#include "WinSock.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace WinsockLayer
{

// The network events selected onto event objects, recorded by the rules of Winsock.
class CNetworkEventSelections final : public CWaitSource
{
public:
    static CNetworkEventSelections& Instance();

    void Select(SOCKET s, WSAEVENT hEvent, long lNetworkEvents);
    // A socket accepted from a selected socket takes over its selection.
    void Inherit(SOCKET sListening, SOCKET sAccepted);
    void Reenable(SOCKET s, long lNetworkEvents);
    void MarkConnecting(SOCKET s);
    bool IsSelected(SOCKET s);
    // A closed socket is no longer watched; a wait that watched it looks again.
    void Forget(SOCKET s);
    // Reports what has occurred since the last call, including what is the case right now.
    bool Enumerate(SOCKET s, WSAEVENT hEvent, WSANETWORKEVENTS& events);

    void AddDescriptors(HANDLE hEvent, std::vector<pollfd>& fds) override;
    void Record(int nFd) override;

private:
    struct SSelection {
        WSAEVENT hEvent = WSA_INVALID_EVENT;
        long lMask = 0;
        long lArmed = 0;
        long lOccurred = 0;
        int nErrors[FD_MAX_EVENTS] = {};
        bool bConnecting = false;
        bool bPeerClosed = false;
        // Seen connected: a connection that the peer resets is connected no more, and its close
        // is still to be reported.
        bool bConnected = false;
    };

    CNetworkEventSelections();

    // The socket's wait, if any, stops watching it at once: a poll holds what it watches open.
    void ForgetLocked(SOCKET s);
    static bool HasPendingData(SOCKET s);
    static short Wanted(SOCKET s, SSelection& selection);
    void Occur(SSelection& selection, int nBit, int nError);
    // Looks at the socket afresh, so that a stale poll result never records a false event.
    void RecordLocked(SOCKET s, SSelection& selection);

    std::mutex m_Mutex;
    std::unordered_map<SOCKET, SSelection> m_Selections;
};

} // namespace WinsockLayer
