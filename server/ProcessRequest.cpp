// SPDX-License-Identifier: GPL-3.0-or-later
// Request handling of CTarnlowServerDlg: the server's side of the control protocol, run on the
// listener thread for every request received.
#include "TarnlowServerDlg.h"

#include "ControlProtocol.h"
#include "Format.h"

using namespace ControlProtocol;

bool CTarnlowServerDlg::ProcessRequest(SOCKET hClient, const char* pBuffer, int nBytes)
{
    OutputDebugStringA("CTarnlowServerDlg::ProcessRequest()\n");
    const std::string strRequest = TextOfReceived(pBuffer, nBytes);
    m_pLogPage->AddEntry("Message Received: " + strRequest);
    const std::string strCommandPart = CommandPart(strRequest);
    switch (RecogniseCommand(strCommandPart)) {
    case ECommand::Greeting:
        return ReplyAndLog(hClient, BuildReply(m_strHostName, kHello));
    case ECommand::ConnectionList:
        return SendReply(hClient, ConnectionListReply());
    case ECommand::Share:
        return ChangeSharing(hClient, strCommandPart, "Share request for connection %d", 1);
    case ECommand::Unshare:
        return ChangeSharing(hClient, strCommandPart, "Unshare request for connection %d", 0);
    case ECommand::Connect:
        return Acknowledge(hClient, "Connect request for connection %d");
    case ECommand::Disconnect:
        return Acknowledge(hClient, "Disconnect request for connection %d");
    case ECommand::Farewell:
        return true;
    case ECommand::Unknown:
        return SendReply(hClient, BuildReply(m_strHostName, kUnknown));
    }
    return true;
}

std::string CTarnlowServerDlg::ConnectionListReply()
{
    std::lock_guard lock(m_pConnectionsPage->NetConnectionMutex());
    return BuildConnectionListReply(
        m_strHostName, m_pConnectionsPage->m_NetConnection.ConnectionCount(), ConnectionEntries());
}

// The caller holds the sharing manager's lock.
std::string CTarnlowServerDlg::ConnectionEntries()
{
    CMyNetConnection& netConnection = m_pConnectionsPage->m_NetConnection;
    std::string strEntries;
    for (int i = 0; i < netConnection.ConnectionCount(); ++i) {
        // The four questions in the entry's order, each answered by the service afresh.
        const std::string strName = netConnection.GetName(i);
        const std::string strStatus = CConnections::GetStatusString(netConnection.GetStatus(i));
        const std::string strType = CConnections::GetMediaTypeString(netConnection.GetMediaType(i));
        strEntries += BuildConnectionEntry(strName, strStatus, strType,
                                           netConnection.IsShared(i) != VARIANT_FALSE);
    }
    return strEntries;
}

bool CTarnlowServerDlg::SendReply(SOCKET hClient, const std::string& strReply)
{
    if (m_Sockets.SocketSend(hClient, strReply.data(), static_cast<int>(strReply.size()), 0) ==
        SOCKET_ERROR) {
        OutputDebugStringA("CTarnlowServerDlg::ProcessRequest(): error replying to client\n");
        return false;
    }
    return true;
}

bool CTarnlowServerDlg::ReplyAndLog(SOCKET hClient, const std::string& strReply)
{
    if (!SendReply(hClient, strReply))
        return false;
    m_pLogPage->AddEntry("Replied with: " + strReply);
    return true;
}

bool CTarnlowServerDlg::ChangeSharing(SOCKET hClient, const std::string& strCommandPart,
                                      const char* pszLogFormat, VARIANT_BOOL bShared)
{
    const int nIndex = ReadIndex(strCommandPart);
    m_pLogPage->AddEntry(FormatText(pszLogFormat, nIndex));
    const char* pszChange = bShared != VARIANT_FALSE ? "share" : "unshare";
    const sockaddr_in local = LocalAddressOf(hClient);
    const std::string strClientAddress =
        local.sin_family == AF_INET ? Winsock::inet_ntoa(local.sin_addr) : std::string();
    CMyNetConnection::SOutcome outcome;
    {
        std::lock_guard lock(m_pConnectionsPage->NetConnectionMutex());
        outcome = m_pConnectionsPage->m_NetConnection.SetShared(nIndex, bShared, strClientAddress);
    }
    for (const std::string& strSideChange : outcome.sideChanges)
        m_pLogPage->AddEntry(strSideChange);
    if (!outcome.strRefusal.empty())
        m_pLogPage->AddEntry(FormatText("The system refused to %s connection %d: %s", pszChange,
                                        nIndex, outcome.strRefusal.c_str()),
                             CLog::EPriority::Warning);
    LogSharingWarnings();
    if (!ReplyAndLog(hClient, BuildReply(m_strHostName, outcome.bDone ? kOkay : kFailed)))
        return false;
    m_bRefreshAfterReply = true;
    return true;
}

// The address at which the client reached this server: its adapter is the LAN's side. The family
// is not AF_INET when it cannot be read.
sockaddr_in CTarnlowServerDlg::LocalAddressOf(SOCKET hClient)
{
    sockaddr_in local{};
    int nLength = sizeof local;
    if (Winsock::getsockname(hClient, reinterpret_cast<sockaddr*>(&local), &nLength) ==
        SOCKET_ERROR)
        local.sin_family = AF_UNSPEC;
    return local;
}

void CTarnlowServerDlg::LogSharingWarnings()
{
    std::vector<CMyNetConnection::SAdvice> advice;
    {
        std::lock_guard lock(m_pConnectionsPage->NetConnectionMutex());
        advice = m_pConnectionsPage->m_NetConnection.TakeAdvice();
    }
    for (const CMyNetConnection::SAdvice& said : advice)
        m_pLogPage->AddEntry(said.strText,
                             said.bWarning ? CLog::EPriority::Warning : CLog::EPriority::Info);
}

bool CTarnlowServerDlg::Acknowledge(SOCKET hClient, const char* pszLogFormat)
{
    // Connect and disconnect read no index and change nothing.
    m_pLogPage->AddEntry(FormatText(pszLogFormat, 0));
    return ReplyAndLog(hClient, BuildReply(m_strHostName, kOkay));
}
