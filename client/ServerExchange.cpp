// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerExchange.h"

#include "ControlProtocol.h"
#include "Format.h"

#include <cstring>

using namespace ControlProtocol;

CServerExchange::CServerExchange(CSockets& sockets, ILogSink& log, ListShower showList)
    : m_Sockets(sockets), m_Log(log), m_ShowList(std::move(showList))
{
}

CServerExchange::~CServerExchange()
{
    m_Worker.Stop();
}

void CServerExchange::Connect(const SServerAddress& server)
{
    m_Worker.Post([this, server] { ConnectSequence(server); });
}

void CServerExchange::ChangeSharing(const SServerAddress& server, std::string strCommand)
{
    m_Worker.Post([this, server, strCommand = std::move(strCommand)] {
        if (RequestTarnlowServer(strCommand, server) && !m_Worker.IsStopping())
            ConnectSequence(server);
    });
}

void CServerExchange::Interrupt()
{
    {
        std::lock_guard lock(m_SocketMutex);
        m_Worker.RequestStop();
        if (m_Sockets.SocketIsOpen())
            m_Sockets.SocketShutdown();
    }
    m_Worker.Stop();
}

bool CServerExchange::ConnectTarnlowServer(const SServerAddress& server)
{
    OutputDebugStringA("CTarnlowClientDlg::ConnectTarnlowServer()\n");
    bool bCreated = false;
    {
        std::lock_guard lock(m_SocketMutex);
        // A closing window makes no socket: the close would have nothing left to wake.
        if (m_Worker.IsStopping())
            return false;
        bCreated = m_Sockets.SocketCreate();
    }
    if (!bCreated) {
        OutputDebugStringA(
            "CTarnlowClientDlg::ConnectTarnlowServer(): Failed to create the socket\n");
        return false;
    }
    if (!IsPortInRange(server.nPort)) {
        OutputDebugStringA(
            FormatText("CTarnlowClientDlg::ConnectTarnlowServer(): Port %d is out of range\n",
                       server.nPort)
                .c_str());
        return false;
    }
    m_Sockets.SocketAddressClear();
    m_Sockets.SocketAddressSetPort(static_cast<unsigned short>(server.nPort));
    m_Sockets.SocketAddressSetFamily(AF_INET);
    const hostent* pHost = Winsock::gethostbyname(server.strAddress.c_str());
    if (pHost == nullptr || pHost->h_addr_list[0] == nullptr) {
        m_strMessage = FormatText("Host %s not found\n", server.strAddress.c_str());
        OutputDebugStringA(m_strMessage.c_str());
        return false;
    }
    // The address that the lookup found: a host name connects where it resolves to.
    in_addr address;
    std::memcpy(&address, pHost->h_addr_list[0], sizeof address);
    m_Sockets.SocketAddressSetAddress(Winsock::inet_ntoa(address));
    if (!m_Sockets.SocketConnect())
        return false;
    OutputDebugStringA("CTarnlowClientDlg::ConnectTarnlowServer(): Connect success\n");
    return true;
}

bool CServerExchange::DisconnectTarnlowServer()
{
    OutputDebugStringA("CTarnlowClientDlg::DisconnectTarnlowServer()\n");
    std::lock_guard lock(m_SocketMutex);
    m_Sockets.SocketClose();
    return true;
}

bool CServerExchange::SendTarnlowServer(const std::string& strText)
{
    OutputDebugStringA(
        FormatText("CTarnlowClientDlg::SendTarnlowServer(): Sending \"%s\"\n", strText.c_str())
            .c_str());
    if (m_Sockets.SocketSend(strText.data(), static_cast<int>(strText.size()), 0) == SOCKET_ERROR) {
        OutputDebugStringA("CTarnlowClientDlg::SendTarnlowServer(): Send failed\n");
        return false;
    }
    OutputDebugStringA("CTarnlowClientDlg::SendTarnlowServer(): Send success\n");
    return true;
}

bool CServerExchange::ReceiveTarnlowServer(std::string& strReply)
{
    // The whole reply, however long or however cut up: read until the server closes.
    std::string strReceived;
    char cBuffer[kReceiveBytes];
    for (;;) {
        const int nReceived = m_Sockets.SocketReceive(cBuffer, sizeof cBuffer, 0);
        if (nReceived == SOCKET_ERROR) {
            OutputDebugStringA(
                "CTarnlowClientDlg::ReceiveTarnlowServer(): Error receiving reply\n");
            return false;
        }
        if (nReceived == 0 || strReceived.size() >= static_cast<std::size_t>(kMaxReplyBytes))
            break;
        strReceived.append(cBuffer, static_cast<std::size_t>(nReceived));
    }
    strReceived.resize(std::min<std::size_t>(strReceived.size(), kMaxReplyBytes));
    strReply = TextOfReceived(strReceived.data(), static_cast<int>(strReceived.size()));
    OutputDebugStringA(
        FormatText("CTarnlowClientDlg::ReceiveTarnlowServer(): Reply is \"%s\"\n", strReply.c_str())
            .c_str());
    return true;
}

bool CServerExchange::SendLocalMessage(const std::string& strRequest)
{
    const std::string strLocalMessage = BuildRequest(m_strHostName, strRequest);
    if (!SendTarnlowServer(strLocalMessage))
        return false;
    m_Log.AddEntry(strLocalMessage + " sent to Verrow");
    return true;
}

bool CServerExchange::RequestTarnlowServer(const std::string& strRequest,
                                           const SServerAddress& server)
{
    // A window that is closing starts no more exchanges.
    if (m_Worker.IsStopping())
        return false;
    if (!ConnectTarnlowServer(server)) {
        m_strMessage = FormatText("Failed to connect to Verrow (check %s:%d)",
                                  server.strAddress.c_str(), server.nPort);
        return FailExchange(m_strMessage);
    }
    m_Log.AddEntry("Success connecting to Verrow");
    if (!SendLocalMessage(strRequest))
        return FailExchange("Failed to send request to Verrow");
    const bool bReceived = ReceiveTarnlowServer(m_strReply);
    // The close shut the socket down: what the receive then gave is no reply of the server's.
    if (m_Worker.IsStopping())
        return FailExchange(std::string());
    if (!bReceived) {
        m_strReply.clear();
        return FailExchange("Failed to receive reply from Verrow");
    }
    m_Log.AddEntry(m_strReply + " received from Verrow");
    DisconnectTarnlowServer();
    return true;
}

bool CServerExchange::FailExchange(const std::string& strEntry)
{
    // An exchange that the close interrupted logs nothing more.
    if (!m_Worker.IsStopping())
        m_Log.AddEntry(strEntry, ILogSink::EPriority::Warning);
    DisconnectTarnlowServer();
    return false;
}

bool CServerExchange::ConnectSequence(const SServerAddress& server)
{
    if (!RequestTarnlowServer(kHello, server) || m_Worker.IsStopping())
        return false;
    if (!RequestTarnlowServer(kConnectionList, server))
        return false;
    const std::string strReply = m_strReply;
    m_ShowList(strReply);
    return true;
}
