// SPDX-License-Identifier: GPL-3.0-or-later
// CServerExchange: the client's exchanges with the server, apart from its window. Each request
// goes over a connection of its own, on the worker thread, one after another in the order they
// were asked for; every step is logged to the log sink, and a connection list reply is handed to
// the caller's show call. Its traces keep the names the client has always written
// ("CTarnlowClientDlg::…"), which its users' tools look for.
#pragma once

#include "ExchangeWorker.h"
#include "LogSink.h"
#include "Sockets.h"

#include <functional>
#include <mutex>
#include <string>

class CServerExchange
{
public:
    // Where the server is, as the settings page said when the user acted.
    struct SServerAddress {
        std::string strAddress;
        int nPort;
    };
    // Shows a connection list reply; called on the worker thread.
    using ListShower = std::function<void(const std::string& strReply)>;

    CServerExchange(CSockets& sockets, ILogSink& log, ListShower showList);
    // Stops the worker and waits for the running exchange.
    ~CServerExchange();
    CServerExchange(const CServerExchange&) = delete;
    CServerExchange& operator=(const CServerExchange&) = delete;

    // The computer's name, once Winsock has told it: every request begins with it.
    void SetHostName(std::string strHostName) { m_strHostName = std::move(strHostName); }

    // Queues a greeting and a connection list request.
    void Connect(const SServerAddress& server);
    // Queues a share or unshare request, and the connection list after it if it was answered.
    void ChangeSharing(const SServerAddress& server, std::string strCommand);
    // Wakes an exchange that waits on a silent server, drops the queued ones and waits for it to
    // end; no exchange starts after it.
    void Interrupt();

    // The steps of one exchange, on the worker thread.
    bool ConnectTarnlowServer(const SServerAddress& server);
    bool DisconnectTarnlowServer();
    bool SendTarnlowServer(const std::string& strText);
    bool ReceiveTarnlowServer(std::string& strReply);
    bool SendLocalMessage(const std::string& strRequest);
    bool RequestTarnlowServer(const std::string& strRequest, const SServerAddress& server);

    // The last reply: overwritten by every receive, emptied when one fails.
    const std::string& LastReply() const { return m_strReply; }
    CExchangeWorker& Worker() { return m_Worker; }

private:
    // Ends a failed exchange: logs the entry, unless the close interrupted it, and closes.
    bool FailExchange(const std::string& strEntry);
    bool ConnectSequence(const SServerAddress& server);

    CSockets& m_Sockets;
    ILogSink& m_Log;
    ListShower m_ShowList;
    std::string m_strHostName;
    std::string m_strMessage;
    std::string m_strReply;
    // Guards the exchange's socket between the worker and a closing window.
    std::mutex m_SocketMutex;
    // Last, so that it stops before the members that its running exchange uses go.
    CExchangeWorker m_Worker;
};
