// SPDX-License-Identifier: GPL-3.0-or-later
// CRequestHandler: the server's side of the control protocol, apart from any window. It owns the
// connection sharing manager with its lock, and the host name that every reply begins with; one
// call takes a request and the address at which the client reached the server, sends the reply
// through the sender given, and writes its entries to the log sink, in their order around a slow
// change of sharing. It runs on the listener's thread, one request at a time.
#pragma once

#include "LogSink.h"
#include "server/SharedConnections.h"

#include <functional>
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
    // The reply to a connection list request, read from the sharing manager under its lock.
    std::string ConnectionListReply();
    // Whether a share or unshare was answered since the last call: the list then changes.
    bool TakeSharingChanged() { return std::exchange(m_bSharingChanged, false); }
    // Logs what the sharing service said beyond its results.
    void LogSharingAdvice();

private:
    bool SendReply(const Sender& send, const std::string& strReply);
    bool ReplyAndLog(const Sender& send, const std::string& strReply);
    bool ChangeSharing(const Sender& send, const std::string& strCommandPart,
                       const char* pszLogFormat, VARIANT_BOOL bShared,
                       const std::string& strLocalAddress);
    bool Acknowledge(const Sender& send, const char* pszLogFormat);
    std::string ConnectionEntries(CMyNetConnection& manager);

    ILogSink& m_Log;
    CSharedConnections m_Connections;
    std::string m_strHostName;
    bool m_bSharingChanged = false;
};
