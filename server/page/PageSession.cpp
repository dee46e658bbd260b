// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <sstream>
#include <utility>

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

CPageSession::CPageSession(net::ip::tcp::socket socket, SShared& shared)
    : m_Stream(std::move(socket)), m_Shared(shared)
{
    ++m_Shared.nConnections;
    beast::error_code error;
    const auto local = m_Stream.socket().local_endpoint(error);
    const auto peer = m_Stream.socket().remote_endpoint(error);
    if (!error) {
        m_Ends.strLocalAddress = local.address().to_string();
        m_Ends.strPeerAddress = peer.address().to_string();
        m_Ends.nPort = local.port();
    }
}

CPageSession::~CPageSession()
{
    --m_Shared.nConnections;
}

// The change thread hands the session back whole: the last reference to it is let go on the
// loop's thread, which owns its socket and the count of connections.
void CPageSession::Start()
{
    if (m_Ends.strPeerAddress.empty())
        return Close();
    net::post(m_Shared.ChangeContext, [self = shared_from_this()]() mutable {
        const bool bAdmitted =
            !self->m_Shared.Hooks.Admit ||
            self->m_Shared.Hooks.Admit(self->m_Ends.strLocalAddress, self->m_Ends.strPeerAddress);
        const auto loop = self->m_Stream.get_executor();
        net::post(loop, [self = std::move(self), bAdmitted] {
            if (bAdmitted)
                self->ReadRequest();
            else
                self->Close();
        });
    });
}

void CPageSession::ReadRequest()
{
    m_Parser.emplace();
    m_Parser->header_limit(static_cast<std::uint32_t>(m_Shared.Limits.nHeaderBytes));
    m_Parser->body_limit(m_Shared.Limits.nBodyBytes);
    m_Stream.expires_after(m_Shared.Limits.RequestDeadline);
    http::async_read(m_Stream, m_Buffer, *m_Parser,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                         self->OnRequest(error);
                     });
}

void CPageSession::OnRequest(beast::error_code error)
{
    if (error == http::error::header_limit)
        return Respond(CPageRoutes::Refusal(http::status::request_header_fields_too_large,
                                            "The request's header is too large"));
    if (error == http::error::body_limit)
        return Respond(
            CPageRoutes::Refusal(http::status::payload_too_large, "The request is too large"));
    if (error)
        return Close();
    m_Request = m_Parser->release();
    CPageRoutes::SRouted routed = m_Shared.Routes.Route(m_Request, m_Ends);
    m_Device = routed.Device.value_or(SPairedDevice());
    if (!routed.strForgotten.empty())
        EndStreamsOf(routed.strForgotten);
    switch (routed.Action) {
    case CPageRoutes::EAction::Respond:
        return Respond(std::move(routed.Response));
    case CPageRoutes::EAction::OpenStream:
        return OpenStream(std::move(routed.Response));
    case CPageRoutes::EAction::ChangeSharing:
        return Change(std::move(routed.strId), routed.bShare);
    }
}

void CPageSession::Respond(PageResponse response)
{
    const bool bKeepAlive = response.keep_alive();
    auto pResponse = std::make_shared<PageResponse>(std::move(response));
    m_Stream.expires_after(m_Shared.Limits.WriteDeadline);
    http::async_write(
        m_Stream, *pResponse,
        [self = shared_from_this(), pResponse, bKeepAlive](beast::error_code error, std::size_t) {
            if (error || !bKeepAlive)
                self->Close();
            else
                self->ReadRequest();
        });
}

void CPageSession::Change(std::string strId, bool bShare)
{
    net::post(m_Shared.ChangeContext,
              [self = shared_from_this(), strId = std::move(strId), bShare]() mutable {
                  const CRequestHandler::SPageOutcome outcome = self->m_Shared.Hooks.Change(
                      strId, bShare, {self->m_Device.strName, self->m_Ends.strPeerAddress},
                      self->m_Ends.strLocalAddress);
                  const auto loop = self->m_Stream.get_executor();
                  net::post(loop, [self = std::move(self), outcome] {
                      self->Respond(CPageRoutes::ChangeAnswer(self->m_Request, outcome.bDone,
                                                              outcome.strReason));
                  });
              });
}

// The stream's header and the whole state go first; later events follow as they come, and the
// device's closing ends it.
void CPageSession::OpenStream(PageResponse header)
{
    if (m_Shared.Streams.size() >= m_Shared.Limits.nStreams)
        return Respond(CPageRoutes::Refusal(http::status::service_unavailable,
                                            "Too many pages are open at once"));
    m_Shared.Streams.insert(shared_from_this());
    m_bStreaming = true;
    std::ostringstream text;
    text << header.base();
    std::string strFirst = text.str() + m_Shared.State.Snapshot(m_nStreamVersion);
    m_nOwedBytes = strFirst.size();
    m_Owed.push_back(std::make_shared<const std::string>(std::move(strFirst)));
    m_Stream.expires_never();
    SendNextEvent();
    WatchForClose();
}

void CPageSession::Publish(std::uint64_t nVersion, const std::shared_ptr<const std::string>& pEvent)
{
    if (!m_bStreaming || m_bClosed || nVersion <= m_nStreamVersion)
        return;
    // A device that reads nothing is not owed without end.
    if (m_nOwedBytes + pEvent->size() > m_Shared.Limits.nStreamOwedBytes)
        return Close();
    m_nOwedBytes += pEvent->size();
    m_Owed.push_back(pEvent);
    SendNextEvent();
}

void CPageSession::SendNextEvent()
{
    if (m_bSending || m_bClosed || m_Owed.empty())
        return;
    m_bSending = true;
    const std::shared_ptr<const std::string> pEvent = m_Owed.front();
    net::async_write(m_Stream, net::buffer(*pEvent),
                     [self = shared_from_this(), pEvent](beast::error_code error, std::size_t) {
                         self->m_bSending = false;
                         self->m_nOwedBytes -= pEvent->size();
                         self->m_Owed.pop_front();
                         if (error)
                             return self->Close();
                         self->SendNextEvent();
                     });
}

// A forgotten device's streams end: it sees no more of the server.
void CPageSession::EndStreamsOf(const std::string& strDeviceId)
{
    const auto streams = m_Shared.Streams;
    for (const auto& pSession : streams)
        if (pSession->m_Device.strId == strDeviceId)
            pSession->Close();
}

// A stream's device sends nothing more: whatever comes, or its closing, ends the stream.
void CPageSession::WatchForClose()
{
    m_Stream.async_read_some(
        net::buffer(&m_cWatched, 1),
        [self = shared_from_this()](beast::error_code, std::size_t) { self->Close(); });
}

void CPageSession::Close()
{
    if (std::exchange(m_bClosed, true))
        return;
    if (m_bStreaming)
        m_Shared.Streams.erase(shared_from_this());
    beast::error_code error;
    m_Stream.socket().shutdown(net::ip::tcp::socket::shutdown_both, error);
    m_Stream.close();
}
