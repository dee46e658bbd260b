// SPDX-License-Identifier: GPL-3.0-or-later
// CPageRoutes: what the page's server does with one request, apart from its sockets: the page's
// files, its stream of events and its one change, and the refusals that keep other sites and
// other hosts' names away. It reads the request only as Beast's parser gave it, within the bounds
// that the server set.
#pragma once

#include "server/page/PageState.h"

#include <boost/beast/http.hpp>

#include <cstddef>
#include <string>

using PageRequest = boost::beast::http::request<boost::beast::http::string_body>;
using PageResponse = boost::beast::http::response<boost::beast::http::string_body>;

class CPageRoutes
{
public:
    // More header fields than these are refused, whatever their size.
    static constexpr std::size_t kMaxFields = 48;
    // A connection's identity is a GUID in braces; more is no identity.
    static constexpr std::size_t kMaxIdBytes = 64;

    // Where the request came from and to: addresses in dotted form, and the page's port.
    struct SEnds {
        std::string strLocalAddress;
        std::string strPeerAddress;
        int nPort = 0;
    };
    enum class EAction { Respond, OpenStream, ChangeSharing };
    struct SRouted {
        EAction Action = EAction::Respond;
        // What is sent at once (for a stream, its header).
        PageResponse Response;
        // A change's connection and direction.
        std::string strId;
        bool bShare = false;
    };

    explicit CPageRoutes(const CPageState& state) : m_State(state) {}

    SRouted Route(const PageRequest& request, const SEnds& ends) const;
    // The answer to a change, once it is made.
    static PageResponse ChangeAnswer(const PageRequest& request, bool bDone,
                                     const std::string& strReason);
    // A refusal that has no request to answer (too large, too slow, too many streams).
    static PageResponse Refusal(boost::beast::http::status status, const std::string& strWhy,
                                unsigned nVersion = 11);

private:
    bool IsOwnHost(const std::string& strHost, const SEnds& ends) const;
    SRouted RouteChange(const PageRequest& request) const;
    static SRouted Refused(const PageRequest& request, boost::beast::http::status status,
                           const std::string& strWhy);
    static PageResponse StreamHeader(const PageRequest& request);
    static PageResponse Made(boost::beast::http::status status, unsigned nVersion, bool bKeepAlive,
                             const char* pszType, std::string strBody);
    static PageResponse Answer(const PageRequest& request, boost::beast::http::status status,
                               const char* pszType, std::string strBody);

    const CPageState& m_State;
};
