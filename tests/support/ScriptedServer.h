// SPDX-License-Identifier: GPL-3.0-or-later
// An in-test server on 127.0.0.1 that answers as told: it accepts connections one at a time,
// reads what arrives, and then replies, says nothing, or stays silent until released.
#pragma once

#include "LoopbackListener.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CScriptedServer
{
public:
    // The reply to a request; nullopt-like: kSilent keeps the connection open without a reply.
    using Answer = std::function<std::string(const std::string& strRequest)>;
    static inline const std::string kSilent = std::string("\x01silent", 7);
    // Resets the connection instead of replying.
    static inline const std::string kReset = std::string("\x01reset", 6);

    explicit CScriptedServer(Answer answer) : m_Answer(std::move(answer))
    {
        m_nListener = NewTestSocket();
        m_nPort = ListenOnLoopback(m_nListener, 16);
        m_Thread = std::thread([this] { Serve(); });
    }

    ~CScriptedServer()
    {
        m_bStop = true;
        WakeAccept(m_nListener);
        m_Thread.join();
        CloseTestSocket(m_nListener);
    }

    unsigned short Port() const { return m_nPort; }

    std::vector<std::string> Requests()
    {
        std::lock_guard lock(m_Mutex);
        return m_Requests;
    }

private:
    void Serve()
    {
        // Read once: the close that wakes the accept may change the member.
        const TestSocket nListener = m_nListener;
        while (!m_bStop) {
            TestSocket nClient = ::accept(nListener, nullptr, nullptr);
            if (nClient == kNoTestSocket)
                return;
            const std::string strRequest = ReadRequest(nClient);
            {
                std::lock_guard lock(m_Mutex);
                m_Requests.push_back(strRequest);
            }
            const std::string strReply = m_Answer(strRequest);
            if (strReply == kSilent) {
                // Stay silent until the client gives up or the test ends.
                while (!m_bStop && !WaitReadable(nClient, 50)) {
                }
            } else if (strReply == kReset) {
                const linger abort{1, 0};
                ::setsockopt(nClient, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                             sizeof abort);
            } else if (!strReply.empty()) {
                SendAll(nClient, strReply);
            }
            CloseTestSocket(nClient);
        }
    }

    static std::string ReadRequest(TestSocket nClient)
    {
        char cBuffer[4096];
        if (!WaitReadable(nClient, 2000))
            return std::string();
        const auto n = ::recv(nClient, cBuffer, sizeof cBuffer, 0);
        return n > 0 ? std::string(cBuffer, static_cast<std::size_t>(n)) : std::string();
    }

    CTestSockets m_Sockets;
    Answer m_Answer;
    TestSocket m_nListener = kNoTestSocket;
    unsigned short m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_Mutex;
    std::vector<std::string> m_Requests;
    std::thread m_Thread;
};
