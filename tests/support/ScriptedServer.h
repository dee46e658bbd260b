// SPDX-License-Identifier: GPL-3.0-or-later
// An in-test server on 127.0.0.1 that answers as told: it accepts connections one at a time,
// reads what arrives, and then replies, says nothing, or stays silent until released.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
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
        m_nListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_nListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t nLength = sizeof address;
        ::getsockname(m_nListener, reinterpret_cast<sockaddr*>(&address), &nLength);
        m_nPort = ntohs(address.sin_port);
        ::listen(m_nListener, 16);
        m_Thread = std::thread([this] { Serve(); });
    }

    ~CScriptedServer()
    {
        m_bStop = true;
        ::shutdown(m_nListener, SHUT_RDWR);
        m_Thread.join();
        ::close(m_nListener);
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
        while (!m_bStop) {
            const int nClient = ::accept(m_nListener, nullptr, nullptr);
            if (nClient < 0)
                return;
            const std::string strRequest = ReadRequest(nClient);
            {
                std::lock_guard lock(m_Mutex);
                m_Requests.push_back(strRequest);
            }
            const std::string strReply = m_Answer(strRequest);
            if (strReply == kSilent) {
                // Stay silent until the client gives up or the test ends.
                pollfd fd{nClient, POLLIN, 0};
                while (!m_bStop && ::poll(&fd, 1, 50) == 0) {
                }
            } else if (strReply == kReset) {
                const linger abort{1, 0};
                ::setsockopt(nClient, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            } else if (!strReply.empty()) {
                ::send(nClient, strReply.data(), strReply.size(), MSG_NOSIGNAL);
            }
            ::close(nClient);
        }
    }

    static std::string ReadRequest(int nClient)
    {
        char cBuffer[4096];
        pollfd fd{nClient, POLLIN, 0};
        if (::poll(&fd, 1, 2000) <= 0)
            return std::string();
        const ssize_t n = ::recv(nClient, cBuffer, sizeof cBuffer, 0);
        return n > 0 ? std::string(cBuffer, static_cast<std::size_t>(n)) : std::string();
    }

    Answer m_Answer;
    int m_nListener = -1;
    unsigned short m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_Mutex;
    std::vector<std::string> m_Requests;
    std::thread m_Thread;
};
