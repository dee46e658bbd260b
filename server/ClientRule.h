// SPDX-License-Identifier: GPL-3.0-or-later
// CClientRule: whom the listener answers. A client whose replies would leave through a dial-up
// connection (the kind that the server shares) is beyond the uplink, on the Internet's side: it
// reached the LAN's address only because a host accepts a packet for any of its addresses on any
// interface. Such a client gets nothing; everyone else (the LAN, loopback, a machine without a
// dial-up connection) is answered as before. A route that cannot be asked for answers the client:
// the rule must never lock the LAN out.
#pragma once

#include "LogSink.h"
#include "WinSock.h"
#include "server/SharedConnections.h"

#include <chrono>
#include <map>
#include <string>

class CClientRule
{
public:
    using Clock = std::chrono::steady_clock;
    // A client kept away is named in the log once a minute, for so many addresses at most, so
    // that a scan can neither flood the log nor fill the memory.
    static constexpr std::chrono::seconds kNameEvery{60};
    static constexpr std::size_t kMaxNamed = 1024;

    // The dial-up connection through which a reply from the local address to the client's would
    // leave, as the routing table chooses; empty when it would not leave through one, or when that
    // cannot be told. Takes the sharing manager's lock.
    static std::string UplinkTowards(const sockaddr_in& local, const sockaddr_in& client,
                                     CSharedConnections& connections);
    // The adapter by which a reply from the local address to the client's would leave, by its
    // GUID in braces; empty, with a trace, when the route cannot be had.
    static std::string RouteAdapter(const sockaddr_in& local, const sockaddr_in& client);

    // Whether the client is answered: one beyond a dial-up connection is not, and is named in the
    // log as IsToBeNamed allows. Takes the sharing manager's lock.
    bool Admits(const sockaddr_in& local, const sockaddr_in& client,
                CSharedConnections& connections, ILogSink& log, Clock::time_point now);
    // Names a client kept away for the reason ("not among the allowed clients"), in the log as
    // IsToBeNamed allows.
    void NameRefused(const sockaddr_in& client, const std::string& strWhy, ILogSink& log,
                     Clock::time_point now);
    // Whether a client kept away at this address is to be named in the log now.
    bool IsToBeNamed(const std::string& strAddress, Clock::time_point now = Clock::now());

private:
    std::map<std::string, Clock::time_point> m_Named;
};
