// SPDX-License-Identifier: GPL-3.0-or-later
// CClientSession: one client of the listener, from its accept to its close: the client rule (a
// client beyond a dial-up connection is closed at once, and named once a minute), the pause, the
// one read, the reply through the request handler, and the orderly close. The entries of a client
// are held while it waits, so that the windows' work for them never competes with its reply.
#pragma once

#include "ClientRule.h"
#include "Clock.h"
#include "LogSink.h"
#include "Sockets.h"
#include "server/RequestHandler.h"

class CClientSession
{
public:
    static constexpr DWORD kRequestPauseMs = 50;
    // What closing a client's connection reads and drops at most, without waiting for more.
    static constexpr int kMaxDrainedBytes = 1024 * 1024;

    CClientSession(CSockets& sockets, CRequestHandler& handler, ILogSink& log, CClock& clock);
    // A client still open (the thread ended while serving it) is closed.
    ~CClientSession();
    CClientSession(const CClientSession&) = delete;
    CClientSession& operator=(const CClientSession&) = delete;

    // What came of a network event of the listening socket.
    enum class EServed { Answered, NoClient, KeptAway };
    // Serves the client that the event tells of. Throws CListenerFailure where the listening
    // socket fails.
    EServed Serve(WSAEVENT hEvent);

private:
    bool Accept(WSAEVENT hEvent, sockaddr_in& peer);
    // Closes a client that is not among the allowed clients, or beyond a dial-up connection, at
    // once, naming it in the log once a minute; true when the client is answered.
    bool Admit(const sockaddr_in& peer);
    void Answer();
    void Close();
    // The address at which the client reached this server; the family is not AF_INET when it
    // cannot be read.
    sockaddr_in LocalAddress() const;
    std::string LocalAddressText() const;

    CSockets& m_Sockets;
    CRequestHandler& m_Handler;
    ILogSink& m_Log;
    CClock& m_Clock;
    CClientRule m_Rule;
    SOCKET m_hClient = INVALID_SOCKET;
};
