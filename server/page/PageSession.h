// SPDX-License-Identifier: GPL-3.0-or-later
// CPageSession: one connection to the page's server, on the server's event-loop thread: its
// requests one after another, each read whole within the deadline, and, where it asks for the
// page's events, the stream that it then becomes, which holds no thread while nothing happens.
#pragma once

#include "server/page/PageRoutes.h"
#include "server/page/PageServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/beast/core.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>

class CPageSession : public std::enable_shared_from_this<CPageSession>
{
public:
    // What every session of one server shares; touched on the event loop's thread only, but for
    // the change thread's context, which takes work from it.
    struct SShared {
        const CPageState& State;
        const CPageRoutes& Routes;
        const CPageServer::SLimits& Limits;
        const CPageServer::SHooks& Hooks;
        boost::asio::io_context& ChangeContext;
        std::set<std::shared_ptr<CPageSession>> Streams;
        std::size_t nConnections = 0;
    };

    CPageSession(boost::asio::ip::tcp::socket socket, SShared& shared);
    ~CPageSession();
    CPageSession(const CPageSession&) = delete;
    CPageSession& operator=(const CPageSession&) = delete;

    // Asks the change thread whether the device is answered, and then reads its first request.
    void Start();
    // An event for a stream: sent unless the stream's first state already held it.
    void Publish(std::uint64_t nVersion, const std::shared_ptr<const std::string>& pEvent);

private:
    void ReadRequest();
    void OnRequest(boost::beast::error_code error);
    void Respond(PageResponse response);
    void Change(std::string strId, bool bShare);
    void OpenStream(PageResponse header);
    void EndStreamsOf(const std::string& strDeviceId);
    void SendNextEvent();
    void WatchForClose();
    void Close();

    boost::beast::tcp_stream m_Stream;
    SShared& m_Shared;
    boost::beast::flat_buffer m_Buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_Parser;
    PageRequest m_Request;
    CPageRoutes::SEnds m_Ends;
    // The paired device that the last request came from; none (no id) where it was not paired.
    SPairedDevice m_Device;
    bool m_bClosed = false;
    std::deque<std::shared_ptr<const std::string>> m_Owed;
    std::size_t m_nOwedBytes = 0;
    std::uint64_t m_nStreamVersion = 0;
    bool m_bStreaming = false;
    bool m_bSending = false;
    char m_cWatched = 0;
};
