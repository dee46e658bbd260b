// SPDX-License-Identifier: GPL-3.0-or-later
#include "AddressFollower.h"

#include "Format.h"
#include "ListenerFailure.h"

#include <utility>

namespace
{

// What the IP Address label says when the machine has no address.
constexpr const char* kNoAddress = "none";

} // namespace

CAddressFollower::CAddressFollower(CSockets& sockets, CListeningSocket& socket, ILogSink& log,
                                   CClock& clock, bool bGiveUp, Moved moved)
    : m_Sockets(sockets), m_Socket(socket), m_Log(log), m_Clock(clock), m_bGiveUp(bGiveUp),
      m_Moved(std::move(moved))
{
}

void CAddressFollower::Arm()
{
    if (!m_Watch.Arm() && !std::exchange(m_bWatchFailureSaid, true))
        m_Log.AddEntry("The server cannot follow changes of its address",
                       ILogSink::EPriority::Warning);
}

std::optional<CClock::SteadyTime> CAddressFollower::RetryAt() const
{
    if (!m_Pending)
        return std::nullopt;
    return m_LastTry + kRetryEvery;
}

CAddressFollower::EFollowed CAddressFollower::Follow()
{
    // Asked for again first, so that a change while this one is followed is not missed.
    Arm();
    const std::string strAddress = LocalAddressNow();
    if (strAddress == m_Socket.Address()) {
        m_Pending.reset();
        return EFollowed::Unchanged;
    }
    if (m_Pending != strAddress)
        NewPending(strAddress);
    m_LastTry = m_Clock.SteadyNow();
    std::string strError;
    const CListeningSocket::EMoved moved = m_Socket.MoveTo(strAddress, strError);
    if (moved == CListeningSocket::EMoved::Lost)
        throw CListenerFailure(strError);
    if (moved == CListeningSocket::EMoved::There) {
        m_Pending.reset();
        m_Log.AddEntry("Listening for clients");
        m_Moved(Shown(strAddress));
        return EFollowed::Reselect;
    }
    if (!std::exchange(m_bPendingSaid, true))
        m_Log.AddEntry(FormatText("The server cannot listen at %s yet, and listens at %s",
                                  Shown(strAddress).c_str(), Shown(m_Socket.Address()).c_str()),
                       ILogSink::EPriority::Warning);
    const EFollowed kept =
        moved == CListeningSocket::EMoved::Reopened ? EFollowed::Reselect : EFollowed::Unchanged;
    if (m_Clock.SteadyNow() - m_PendingSince < kPatience)
        return kept;
    m_Pending.reset();
    if (m_bGiveUp)
        throw CListenerFailure(strError);
    m_Log.AddEntry(FormatText("The server stays at %s: it could not listen at %s",
                              Shown(m_Socket.Address()).c_str(), Shown(strAddress).c_str()),
                   ILogSink::EPriority::Warning);
    return kept;
}

void CAddressFollower::NewPending(const std::string& strAddress)
{
    m_Pending = strAddress;
    m_PendingSince = m_Clock.SteadyNow();
    m_bPendingSaid = false;
    m_Log.AddEntry(FormatText("The server's address is now %s", Shown(strAddress).c_str()));
}

std::string CAddressFollower::Shown(const std::string& strAddress)
{
    return strAddress.empty() ? std::string(kNoAddress) : strAddress;
}

std::string CAddressFollower::LocalAddressNow()
{
    m_Sockets.QueryLocalAddresses();
    return m_Sockets.GetLocalAddressCount() > 0 ? m_Sockets.GetLocalAddress(0) : std::string();
}
