// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientSession.h"

#include "ControlProtocol.h"
#include "Format.h"
#include "ListenerFailure.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace
{

// Accept failures that only mean the client went away before it could be accepted.
bool ClientWentAway(int nError)
{
    return nError == WSAEWOULDBLOCK || nError == WSAECONNABORTED || nError == WSAECONNRESET;
}

} // namespace

CClientSession::CClientSession(CSockets& sockets, CRequestHandler& handler, ILogSink& log,
                               CClock& clock)
    : m_Sockets(sockets), m_Handler(handler), m_Log(log), m_Clock(clock)
{
}

CClientSession::~CClientSession()
{
    if (m_hClient != INVALID_SOCKET)
        Winsock::closesocket(m_hClient);
}

CClientSession::EServed CClientSession::Serve(WSAEVENT hEvent)
{
    sockaddr_in peer{};
    const auto accepted = std::chrono::steady_clock::now();
    {
        const ILogSink::CEntryHold hold(m_Log);
        if (!Accept(hEvent, peer))
            return EServed::NoClient;
        // The entries are held until the client is answered, so they still come in their order.
        if (!Admit(peer))
            return EServed::KeptAway;
        m_Log.AddEntry("Socket accept request received");
        m_Log.AddEntry(
            FormatText("Accepted a connection from %s", Winsock::inet_ntoa(peer.sin_addr)));
    }
    // The pause is the client's time to send its request, counted from the accept: the entries
    // so far are written during it, and the rest once the client has its reply.
    std::this_thread::sleep_until(accepted + std::chrono::milliseconds(kRequestPauseMs));
    Answer();
    return EServed::Answered;
}

bool CClientSession::Accept(WSAEVENT hEvent, sockaddr_in& peer)
{
    WSANETWORKEVENTS networkEvents{};
    if (!m_Sockets.SocketWSAEnumNetworkEvents(hEvent, &networkEvents))
        throw CListenerFailure::OfCall("WSAEnumNetworkEvents()");
    if ((networkEvents.lNetworkEvents & FD_ACCEPT) == 0)
        return false;
    int nPeerLength = sizeof peer;
    m_hClient = m_Sockets.SocketAccept(m_Sockets, reinterpret_cast<sockaddr*>(&peer), &nPeerLength);
    if (m_hClient != INVALID_SOCKET)
        return true;
    const CListenerFailure failure = CListenerFailure::OfCall("accept()");
    m_Log.AddEntry("Socket accept request received");
    if (!ClientWentAway(Winsock::WSAGetLastError()))
        throw failure;
    OutputDebugStringA(failure.Trace().c_str());
    return false;
}

bool CClientSession::Admit(const sockaddr_in& peer)
{
    if (!m_Handler.IsAllowedClient(peer.sin_addr.s_addr)) {
        m_Rule.NameRefused(peer, "not among the allowed clients", m_Log, m_Clock.SteadyNow());
    } else {
        const sockaddr_in local = LocalAddress();
        if (local.sin_family != AF_INET ||
            m_Rule.Admits(local, peer, m_Handler.Connections(), m_Log, m_Clock.SteadyNow()))
            return true;
    }
    Winsock::closesocket(m_hClient);
    m_hClient = INVALID_SOCKET;
    return false;
}

void CClientSession::Answer()
{
    const ILogSink::CEntryHold hold(m_Log);
    char cBuffer[ControlProtocol::kRequestBytes];
    std::memset(cBuffer, 0, sizeof cBuffer);
    const int nReceived = m_Sockets.SocketReceive(m_hClient, cBuffer, sizeof cBuffer, 0);
    const SOCKET hClient = m_hClient;
    const auto send = [this, hClient](const std::string& strReply) {
        return m_Sockets.SocketSend(hClient, strReply.data(), static_cast<int>(strReply.size()),
                                    0) != SOCKET_ERROR;
    };
    if (nReceived == SOCKET_ERROR) {
        // A client that is silent, slow or gone costs its own connection, not the listener.
        OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Error receiving on socket\n");
        m_Log.AddEntry("Communication with client garbled", ILogSink::EPriority::Warning);
    } else if (nReceived > 0 &&
               !m_Handler.ProcessRequest(cBuffer, nReceived, LocalAddressText(), send)) {
        m_Log.AddEntry("Communication with client garbled", ILogSink::EPriority::Warning);
    }
    Close();
}

void CClientSession::Close()
{
    // Closing with unread bytes resets the connection, and a reset makes many clients throw
    // away the reply they have not read yet. So the reply is ended with an orderly shutdown and
    // what the client sent beyond the one request is read and dropped, as far as it has come.
    Winsock::shutdown(m_hClient, SD_SEND);
    char cDiscard[ControlProtocol::kRequestBytes];
    for (int nDrained = 0; nDrained < kMaxDrainedBytes;) {
        const int nReceived = Winsock::recv(m_hClient, cDiscard, sizeof cDiscard, 0);
        if (nReceived <= 0)
            break;
        nDrained += nReceived;
    }
    Winsock::closesocket(m_hClient);
    m_hClient = INVALID_SOCKET;
}

sockaddr_in CClientSession::LocalAddress() const
{
    sockaddr_in local{};
    int nLength = sizeof local;
    if (Winsock::getsockname(m_hClient, reinterpret_cast<sockaddr*>(&local), &nLength) ==
        SOCKET_ERROR)
        local.sin_family = AF_UNSPEC;
    return local;
}

std::string CClientSession::LocalAddressText() const
{
    const sockaddr_in local = LocalAddress();
    return local.sin_family == AF_INET ? Winsock::inet_ntoa(local.sin_addr) : std::string();
}
