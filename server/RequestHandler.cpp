// SPDX-License-Identifier: GPL-3.0-or-later
#include "RequestHandler.h"

#include "ControlProtocol.h"
#include "Format.h"
#include "Kernel.h"

#include <utility>

using namespace ControlProtocol;

CRequestHandler::CRequestHandler(ILogSink& log) : m_Log(log) {}

bool CRequestHandler::ProcessRequest(const char* pBuffer, int nBytes,
                                     const std::string& strLocalAddress, const Sender& send)
{
    OutputDebugStringA("CTarnlowServerDlg::ProcessRequest()\n");
    const std::string strRequest = TextOfReceived(pBuffer, nBytes);
    m_Log.AddEntry("Message Received: " + strRequest);
    const std::string strCommandPart = CommandPart(strRequest);
    switch (RecogniseCommand(strCommandPart)) {
    case ECommand::Greeting:
        return ReplyAndLog(send, BuildReply(m_strHostName, kHello));
    case ECommand::ConnectionList:
        return SendReply(send, ConnectionListReply());
    case ECommand::Share:
        return ChangeSharing(send, strCommandPart, "Share request for connection %d", 1,
                             strLocalAddress);
    case ECommand::Unshare:
        return ChangeSharing(send, strCommandPart, "Unshare request for connection %d", 0,
                             strLocalAddress);
    case ECommand::Connect:
        return Acknowledge(send, "Connect request for connection %d");
    case ECommand::Disconnect:
        return Acknowledge(send, "Disconnect request for connection %d");
    case ECommand::Farewell:
        return true;
    case ECommand::Unknown:
        return SendReply(send, BuildReply(m_strHostName, kUnknown));
    }
    return true;
}

std::string CRequestHandler::ConnectionListReply()
{
    return m_Connections.With([this](CMyNetConnection& manager) {
        return BuildConnectionListReply(m_strHostName, manager.ConnectionCount(),
                                        ConnectionEntries(manager));
    });
}

// The caller holds the sharing manager's lock.
std::string CRequestHandler::ConnectionEntries(CMyNetConnection& manager)
{
    std::string strEntries;
    for (int i = 0; i < manager.ConnectionCount(); ++i) {
        // The four questions in the entry's order, each answered by the service afresh.
        const std::string strName = manager.GetName(i);
        const std::string strStatus = StatusText(manager.GetStatus(i));
        const std::string strType = MediaTypeText(manager.GetMediaType(i));
        strEntries +=
            BuildConnectionEntry(strName, strStatus, strType, manager.IsShared(i) != VARIANT_FALSE);
    }
    return strEntries;
}

bool CRequestHandler::SendReply(const Sender& send, const std::string& strReply)
{
    if (!send(strReply)) {
        OutputDebugStringA("CTarnlowServerDlg::ProcessRequest(): error replying to client\n");
        return false;
    }
    return true;
}

void CRequestHandler::LogReply(const std::string& strReply)
{
    m_Log.AddEntry("Replied with: " + strReply);
}

bool CRequestHandler::ReplyAndLog(const Sender& send, const std::string& strReply)
{
    if (!SendReply(send, strReply))
        return false;
    LogReply(strReply);
    return true;
}

// The local address is the one at which the client reached this server: its adapter is the LAN's
// side.
bool CRequestHandler::ChangeSharing(const Sender& send, const std::string& strCommandPart,
                                    const char* pszLogFormat, VARIANT_BOOL bShared,
                                    const std::string& strLocalAddress)
{
    const int nIndex = ReadIndex(strCommandPart);
    m_Log.AddEntry(FormatText(pszLogFormat, nIndex));
    const char* pszChange = bShared != VARIANT_FALSE ? "share" : "unshare";
    const CMyNetConnection::SOutcome outcome = m_Connections.With([&](CMyNetConnection& manager) {
        return manager.SetShared(nIndex, bShared, strLocalAddress);
    });
    LogOutcome(outcome, pszChange, nIndex);
    if (!ReplyAndLog(send, BuildReply(m_strHostName, outcome.bDone ? kOkay : kFailed)))
        return false;
    m_bSharingChanged = true;
    return true;
}

std::string CRequestHandler::LogOutcome(const CMyNetConnection::SOutcome& outcome,
                                        const char* pszChange, int nIndex)
{
    for (const std::string& strSideChange : outcome.sideChanges)
        m_Log.AddEntry(strSideChange);
    std::string strRefusal;
    if (!outcome.strRefusal.empty()) {
        strRefusal = FormatText("The system refused to %s connection %d: %s", pszChange, nIndex,
                                outcome.strRefusal.c_str());
        m_Log.AddEntry(strRefusal, ILogSink::EPriority::Warning);
    }
    LogSharingAdvice();
    return strRefusal;
}

// The GUID is looked for and the change made under one hold of the lock: a refresh between them
// could give its index to another connection.
CRequestHandler::SPageOutcome
CRequestHandler::ChangeSharingForPage(const std::string& strGuid, bool bShare,
                                      const SPageDevice& device, const std::string& strLocalAddress)
{
    const ILogSink::CEntryHold hold(m_Log);
    const std::string strDevice =
        FormatText("The device \"%s\" at %s", device.strName.c_str(), device.strAddress.c_str());
    const char* pszChange = bShare ? "share" : "unshare";
    const char* pszAsked = bShare ? "share" : "stop sharing";
    int nIndex = -1;
    const CMyNetConnection::SOutcome outcome = m_Connections.With([&](CMyNetConnection& manager) {
        nIndex = manager.IndexOf(strGuid);
        if (nIndex < 0)
            return CMyNetConnection::SOutcome();
        m_Log.AddEntry(FormatText("%s asks to %s %s", strDevice.c_str(), pszAsked,
                                  manager.GetName(nIndex).c_str()));
        m_Log.AddEntry(FormatText(bShare ? "Share request for connection %d"
                                         : "Unshare request for connection %d",
                                  nIndex));
        return manager.SetShared(nIndex, bShare ? 1 : 0, strLocalAddress);
    });
    if (nIndex < 0) {
        const std::string strReason = FormatText(
            "%s asks to %s a connection that is no longer there", strDevice.c_str(), pszAsked);
        m_Log.AddEntry(strReason, ILogSink::EPriority::Warning);
        return {false, strReason};
    }
    const std::string strRefusal = LogOutcome(outcome, pszChange, nIndex);
    LogReply(BuildReply(m_strHostName, outcome.bDone ? kOkay : kFailed));
    if (outcome.bDone)
        return {true, std::string()};
    return {false, strRefusal.empty()
                       ? FormatText("The server could not %s connection %d", pszChange, nIndex)
                       : strRefusal};
}

void CRequestHandler::SetClients(const CClientList& clients)
{
    const std::lock_guard lock(m_ClientsMutex);
    m_Clients = clients;
}

bool CRequestHandler::IsAllowedClient(std::uint32_t nNetworkAddress) const
{
    const std::lock_guard lock(m_ClientsMutex);
    return m_Clients.Admits(nNetworkAddress);
}

void CRequestHandler::LogSharingAdvice()
{
    const std::vector<CMyNetConnection::SAdvice> advice =
        m_Connections.With([](CMyNetConnection& manager) { return manager.TakeAdvice(); });
    for (const CMyNetConnection::SAdvice& said : advice)
        m_Log.AddEntry(said.strText,
                       said.bWarning ? ILogSink::EPriority::Warning : ILogSink::EPriority::Info);
}

bool CRequestHandler::Acknowledge(const Sender& send, const char* pszLogFormat)
{
    // Connect and disconnect read no index and change nothing.
    m_Log.AddEntry(FormatText(pszLogFormat, 0));
    return ReplyAndLog(send, BuildReply(m_strHostName, kOkay));
}
