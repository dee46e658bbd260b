// SPDX-License-Identifier: GPL-3.0-or-later
// CPageServer: the page for phones, served over HTTP at an address and port of its own. One
// thread runs every connection and every open stream of events, waiting in the kernel between
// them; a second thread makes what may take long (the client rule's route lookup, a change of
// sharing), one at a time, as the listener makes the protocol's. Everything that a stranger can
// send is bounded: the request's line and fields, its body, the time it takes to arrive, the
// connections and the streams at once, and what a stream that does not read may owe.
#pragma once

#include "server/RequestHandler.h"
#include "server/page/PageState.h"
#include "server/page/Pairing.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class CPageServer
{
public:
    struct SLimits {
        std::size_t nHeaderBytes = 8 * 1024;
        std::size_t nBodyBytes = 4 * 1024;
        std::size_t nConnections = 32;
        std::size_t nStreams = 8;
        // From a request's first byte (or the end of the answer before it) to its last.
        std::chrono::milliseconds RequestDeadline{10000};
        std::chrono::milliseconds WriteDeadline{10000};
        std::size_t nStreamOwedBytes = 256 * 1024;
    };
    struct SHooks {
        // The change thread begins and ends (COM is the thread's own).
        std::function<void(bool bBegins)> ChangeThread;
        // Whether a device is answered at all: false keeps it away unanswered. The addresses
        // are dotted.
        std::function<bool(const std::string& strLocalAddress, const std::string& strDevice)> Admit;
        // Makes a change that the page asks for, for the paired device.
        std::function<CRequestHandler::SPageOutcome(const std::string& strId, bool bShare,
                                                    const CRequestHandler::SPageDevice& device,
                                                    const std::string& strLocalAddress)>
            Change;
    };

    CPageServer(CPageState& state, CPairing& pairing, SHooks hooks, SLimits limits);
    CPageServer(CPageState& state, CPairing& pairing, SHooks hooks)
        : CPageServer(state, pairing, std::move(hooks), {})
    {
    }
    ~CPageServer();
    CPageServer(const CPageServer&) = delete;
    CPageServer& operator=(const CPageServer&) = delete;

    // Binds at once (an empty address: any) and serves until stopped; false with the system's
    // reason where the port cannot be had.
    bool Start(const std::string& strAddress, int nPort, std::string& strError);
    // Ends every connection and stream, and both threads; a second call does nothing.
    void Stop();
    // The port bound (the one asked for, or the system's choice for 0).
    int Port() const { return m_nPort; }

    class CImpl;

private:
    CPageState& m_State;
    CPairing& m_Pairing;
    const SHooks m_Hooks;
    const SLimits m_Limits;
    std::unique_ptr<CImpl> m_pImpl;
    int m_nPort = 0;
};
