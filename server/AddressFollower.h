// SPDX-License-Identifier: GPL-3.0-or-later
// CAddressFollower: the listener follows the LAN's address, entry 0 of the interface list. At each
// change the system tells (CAddressWatch) it moves the listening socket there; where it cannot
// listen there yet it listens on where it was and tries again every 2 seconds for a minute, and at
// the next change. Then a server with a window stays where it is and says so; one without gives
// up, so that its service manager starts it again. Its waits and its minute are the host's clock.
#pragma once

#include "AddressWatch.h"
#include "Clock.h"
#include "ListeningSocket.h"
#include "LogSink.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class CAddressFollower
{
public:
    static constexpr std::chrono::milliseconds kRetryEvery{2000};
    static constexpr std::chrono::minutes kPatience{1};

    // Tells where the listener listens now, as the IP Address label shows it.
    using Moved = std::function<void(const std::string& strShown)>;

    CAddressFollower(CSockets& sockets, CListeningSocket& socket, ILogSink& log, CClock& clock,
                     bool bGiveUp, Moved moved);
    CAddressFollower(const CAddressFollower&) = delete;
    CAddressFollower& operator=(const CAddressFollower&) = delete;

    // Asks the system for the next change of address; a failure is logged once.
    void Arm();
    void Disarm() { m_Watch.Disarm(); }
    bool IsArmed() const { return m_Watch.IsArmed(); }
    HANDLE Event() const { return m_Watch.Event(); }
    // When a pending address is to be tried again; none while none is pending.
    std::optional<CClock::SteadyTime> RetryAt() const;

    // The socket stayed where it was, or is to be selected anew (moved, or made anew where it
    // was). Throws CListenerFailure where it can listen nowhere, or gives up.
    enum class EFollowed { Unchanged, Reselect };
    EFollowed Follow();

    // An address as the label shows it: "none" for no address.
    static std::string Shown(const std::string& strAddress);

private:
    // Entry 0 of the interface list as the system gives it now; empty when there is none.
    std::string LocalAddressNow();
    void NewPending(const std::string& strAddress);

    CSockets& m_Sockets;
    CListeningSocket& m_Socket;
    ILogSink& m_Log;
    CClock& m_Clock;
    const bool m_bGiveUp;
    const Moved m_Moved;
    CAddressWatch m_Watch;
    bool m_bWatchFailureSaid = false;
    // An address that entry 0 moved to and the socket could not be bound at yet, since when, when
    // it was last tried, and whether the log said so.
    std::optional<std::string> m_Pending;
    CClock::SteadyTime m_PendingSince{};
    CClock::SteadyTime m_LastTry{};
    bool m_bPendingSaid = false;
};
