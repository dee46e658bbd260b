// SPDX-License-Identifier: GPL-3.0-or-later
// CConnectionsFollower: the listener follows the machine's connections as the IP helper's
// interface notifications tell their changes. The list is refreshed when a connection appears or
// vanishes (never on a mere status change, at most once a second), so that a modem plugged in
// after the start is in every client's next list; and the shared connection's story is told in
// the log: it went down, it is back, it is gone, or another dial-up connection came while it is
// gone. A connection that changes too often (more than five times a minute) is told once a
// minute, and so are the refreshes it makes. Its waits and its minute are the host's clock.
#pragma once

#include "Clock.h"
#include "IpHelper.h"
#include "LogSink.h"
#include "server/SharedConnections.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CConnectionsFollower
{
public:
    static constexpr std::chrono::seconds kRefreshEvery{1};
    static constexpr std::chrono::minutes kChangesWindow{1};
    static constexpr std::size_t kMaxChangesTold = 5;

    // How the follower hears of the interfaces' changes: the IP helper's notifications, or a
    // test's stand-in for them, which calls back as the system does.
    struct SNotifications {
        std::function<NETIO_STATUS(PIPINTERFACE_CHANGE_CALLBACK pCallback, PVOID pContext,
                                   HANDLE* phNotification)>
            Notify;
        std::function<NETIO_STATUS(HANDLE hNotification)> Cancel;
        static SNotifications System();
    };

    CConnectionsFollower(CSharedConnections& connections, ILogSink& log, CClock& clock,
                         SNotifications notifications, std::function<void()> refresh);
    ~CConnectionsFollower();
    CConnectionsFollower(const CConnectionsFollower&) = delete;
    CConnectionsFollower& operator=(const CConnectionsFollower&) = delete;

    // Reads the connections as they are, and asks for the notifications; false, with a trace,
    // where the system gives none.
    bool Start();
    void Stop();
    bool IsStarted() const { return m_hNotification != nullptr; }
    // Set at each notification.
    HANDLE Event() const { return m_hEvent; }
    // When a refresh held back, or what a changing connection did meanwhile, is due.
    std::optional<CClock::SteadyTime> Deadline() const;
    // Reads the connections again, after a notification or at the deadline.
    void Follow();
    // Takes the shared connection as it is now, without a word: after a share or an unshare.
    void Track();

private:
    // The shared connection as the last reading found it.
    struct SShared {
        std::string strGuid;
        std::string strName;
        bool bUp = false;
        bool bPresent = true;
    };

    static void OnChange(PVOID pContext, PMIB_IPINTERFACE_ROW pRow, MIB_NOTIFICATION_TYPE type);
    std::vector<CMyNetConnection::SState> ReadStates();
    void TellStory(const std::vector<CMyNetConnection::SState>& states);
    void TellGone(const std::vector<CMyNetConnection::SState>& states);
    // Tells a change of the shared connection's, or only counts it while it changes too often.
    void Tell(const std::string& strEntry, bool bWarning);
    bool ChangesTooOften() const;
    void TellHeldChanges();
    void RefreshWhenDue();

    CSharedConnections& m_Connections;
    ILogSink& m_Log;
    CClock& m_Clock;
    const SNotifications m_Notifications;
    const std::function<void()> m_Refresh;
    HANDLE m_hEvent;
    HANDLE m_hNotification = nullptr;
    std::set<std::string> m_Guids;
    std::optional<SShared> m_Shared;
    bool m_bRefreshDue = false;
    CClock::SteadyTime m_LastRefresh{};
    // The shared connection's changes within the last minute, and those not told one by one.
    std::deque<CClock::SteadyTime> m_Changes;
    std::size_t m_nHeldChanges = 0;
    CClock::SteadyTime m_HeldSince{};
};
