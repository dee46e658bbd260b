// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageServer.h"

#include "server/page/PageSession.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/steady_timer.hpp>

#include <thread>

namespace net = boost::asio;
using tcp = net::ip::tcp;

// The event loop with its acceptor and sessions, and the change thread: made by Start, gone with
// Stop.
class CPageServer::CImpl
{
public:
    CImpl(CPageState& state, CPairing& pairing, const SHooks& hooks, const SLimits& limits)
        : m_State(state),
          m_Routes(state, pairing), m_Shared{state, m_Routes, limits, hooks, m_ChangeContext, {}, 0}
    {
    }

    bool Bind(const std::string& strAddress, int nPort, std::string& strError)
    {
        boost::system::error_code error;
        const net::ip::address address = strAddress.empty()
                                             ? net::ip::address(net::ip::address_v4::any())
                                             : net::ip::make_address(strAddress, error);
        const tcp::endpoint endpoint(address, static_cast<unsigned short>(nPort));
        if (!error)
            m_Acceptor.open(endpoint.protocol(), error);
        if (!error)
            TakePortAlone(error);
        if (!error)
            m_Acceptor.bind(endpoint, error);
        if (!error)
            m_Acceptor.listen(net::socket_base::max_listen_connections, error);
        if (error) {
            strError = error.message();
            return false;
        }
        return true;
    }

    // Linux: a port that a closed connection still holds is taken again at once. Windows would
    // let a reused address share the port with another program: there the port is ours alone.
    void TakePortAlone(boost::system::error_code& error)
    {
#ifdef _WIN32
        using Exclusive = net::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
        m_Acceptor.set_option(Exclusive(true), error);
#else
        m_Acceptor.set_option(net::socket_base::reuse_address(true), error);
#endif
    }

    int Port() const
    {
        boost::system::error_code error;
        return m_Acceptor.local_endpoint(error).port();
    }

    // Every change of the page's state goes to every open stream, on the loop's thread.
    void Run()
    {
        m_State.SetPublish([this](std::uint64_t nVersion, const std::string& strEvent) {
            net::post(m_Context,
                      [this, nVersion, pEvent = std::make_shared<const std::string>(strEvent)] {
                          const auto streams = m_Shared.Streams;
                          for (const auto& pSession : streams)
                              pSession->Publish(nVersion, pEvent);
                      });
        });
        Accept();
        m_ChangeThread = std::thread([this] {
            if (m_Shared.Hooks.ChangeThread)
                m_Shared.Hooks.ChangeThread(true);
            m_ChangeContext.run();
            if (m_Shared.Hooks.ChangeThread)
                m_Shared.Hooks.ChangeThread(false);
        });
        m_LoopThread = std::thread([this] { m_Context.run(); });
    }

    // The change thread ends first: what it hands back goes to a loop that is still there.
    void Stop()
    {
        m_State.SetPublish({});
        m_ChangeWork.reset();
        m_ChangeContext.stop();
        if (m_ChangeThread.joinable())
            m_ChangeThread.join();
        m_Context.stop();
        if (m_LoopThread.joinable())
            m_LoopThread.join();
        m_Shared.Streams.clear();
    }

private:
    void Accept()
    {
        m_Acceptor.async_accept([this](boost::system::error_code error, tcp::socket socket) {
            if (error == net::error::operation_aborted)
                return;
            if (error)
                return AcceptLater();
            // A connection beyond the bound is closed unanswered.
            if (m_Shared.nConnections < m_Shared.Limits.nConnections) {
                socket.set_option(net::socket_base::keep_alive(true), error);
                std::make_shared<CPageSession>(std::move(socket), m_Shared)->Start();
            }
            Accept();
        });
    }

    // Out of descriptors or memory: the loop tries again in a while rather than at once.
    void AcceptLater()
    {
        m_Retry.expires_after(std::chrono::milliseconds(500));
        m_Retry.async_wait([this](boost::system::error_code error) {
            if (!error)
                Accept();
        });
    }

    // The sessions that the contexts' handlers hold go with the contexts, while what they share
    // is still there.
    CPageState& m_State;
    CPageRoutes m_Routes;
    CPageSession::SShared m_Shared;
    net::io_context m_Context{1};
    net::io_context m_ChangeContext{1};
    net::executor_work_guard<net::io_context::executor_type> m_ChangeWork =
        net::make_work_guard(m_ChangeContext);
    tcp::acceptor m_Acceptor{m_Context};
    net::steady_timer m_Retry{m_Context};
    std::thread m_ChangeThread;
    std::thread m_LoopThread;
};

CPageServer::CPageServer(CPageState& state, CPairing& pairing, SHooks hooks, SLimits limits)
    : m_State(state), m_Pairing(pairing), m_Hooks(std::move(hooks)), m_Limits(limits)
{
}

CPageServer::~CPageServer()
{
    Stop();
}

bool CPageServer::Start(const std::string& strAddress, int nPort, std::string& strError)
{
    Stop();
    auto pImpl = std::make_unique<CImpl>(m_State, m_Pairing, m_Hooks, m_Limits);
    if (!pImpl->Bind(strAddress, nPort, strError))
        return false;
    m_nPort = pImpl->Port();
    m_pImpl = std::move(pImpl);
    m_pImpl->Run();
    return true;
}

void CPageServer::Stop()
{
    if (!m_pImpl)
        return;
    m_pImpl->Stop();
    m_pImpl.reset();
}
