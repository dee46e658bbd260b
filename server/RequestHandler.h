// SPDX-License-Identifier: GPL-3.0-or-later
// CRequestHandler: the server's side of the control protocol, apart from any window. It owns the
// connection sharing manager with its lock, and the host name that every reply begins with; one
// call takes a request and the address at which the client reached the server, sends the reply
// through the sender given, and writes its entries to the log sink, in their order around a slow
// change of sharing. It runs on the listener's thread, one request at a time.
#pragma once

#include "LogSink.h"
#include "server/ClientList.h"
#include "server/SharedConnections.h"

#include <functional>
#include <mutex>
#include <string>
#include <utility>

class CRequestHandler
{
public:
    // Sends a reply; false when it could not be sent.
    using Sender = std::function<bool(const std::string& strReply)>;

    explicit CRequestHandler(ILogSink& log);
    CRequestHandler(const CRequestHandler&) = delete;
    CRequestHandler& operator=(const CRequestHandler&) = delete;

    // The computer's name, once Winsock has told it.
    void SetHostName(std::string strHostName) { m_strHostName = std::move(strHostName); }
    const std::string& HostName() const { return m_strHostName; }
    CSharedConnections& Connections() { return m_Connections; }

    // Handles the bytes received from one client; false if and only if the reply could not be
    // sent.
    bool ProcessRequest(const char* pBuffer, int nBytes, const std::string& strLocalAddress,
                        const Sender& send);
    // A share or unshare that the server's page asks for on behalf of a paired device, of a
    // connection known by its adapter's GUID: the entries and the change of a protocol request
    // for its index, after one entry that names the device. The caller wakes the listener, which
    // follows the change as it follows the service's own.
    struct SPageOutcome {
        bool bDone = false;
        // Where it was not done, the Log's reason.
        std::string strReason;
    };
    struct SPageDevice {
        std::string strName;
        std::string strAddress;
    };
    SPageOutcome ChangeSharingForPage(const std::string& strGuid, bool bShare,
                                      const SPageDevice& device,
                                      const std::string& strLocalAddress);
    // Which clients the desktop protocol serves: set at the start and by a reload, read by the
    // listener's thread for each client; the address in network order.
    void SetClients(const CClientList& clients);
    bool IsAllowedClient(std::uint32_t nNetworkAddress) const;
    // The reply to a connection list request, read from the sharing manager under its lock.
    std::string ConnectionListReply();
    // Whether a share or unshare was answered since the last call: the list then changes.
    bool TakeSharingChanged() { return std::exchange(m_bSharingChanged, false); }
    // Logs what the sharing service said beyond its results.
    void LogSharingAdvice();

private:
    bool SendReply(const Sender& send, const std::string& strReply);
    bool ReplyAndLog(const Sender& send, const std::string& strReply);
    void LogReply(const std::string& strReply);
    bool ChangeSharing(const Sender& send, const std::string& strCommandPart,
                       const char* pszLogFormat, VARIANT_BOOL bShared,
                       const std::string& strLocalAddress);
    // Logs what a share or unshare came to, beyond its request; the refusal's entry, if any.
    std::string LogOutcome(const CMyNetConnection::SOutcome& outcome, const char* pszChange,
                           int nIndex);
    bool Acknowledge(const Sender& send, const char* pszLogFormat);
    std::string ConnectionEntries(CMyNetConnection& manager);

    ILogSink& m_Log;
    CSharedConnections m_Connections;
    std::string m_strHostName;
    mutable std::mutex m_ClientsMutex;
    CClientList m_Clients;
    bool m_bSharingChanged = false;
};
