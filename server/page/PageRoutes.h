// SPDX-License-Identifier: GPL-3.0-or-later
// CPageRoutes: what the page's server does with one request, apart from its sockets: the page's
// files, its stream of events, its change of sharing, pairing and forgetting devices, and the
// refusals that keep other sites, other hosts' names and devices that are not paired away. The
// page's files are open to all (a link from another site arrives without cookies); its data and
// its changes are for paired devices only. It reads the request only as Beast's parser gave it,
// within the bounds that the server set.
#pragma once

#include "server/page/PageState.h"
#include "server/page/Pairing.h"

#include <boost/beast/http.hpp>

#include <cstddef>
#include <optional>
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
        // The paired device that asked (its id names its streams), and a device it forgot.
        std::optional<SPairedDevice> Device;
        std::string strForgotten;
    };

    CPageRoutes(const CPageState& state, CPairing& pairing) : m_State(state), m_Pairing(pairing) {}

    SRouted Route(const PageRequest& request, const SEnds& ends) const;
    // The answer to a change, once it is made.
    static PageResponse ChangeAnswer(const PageRequest& request, bool bDone,
                                     const std::string& strReason);
    // A refusal that has no request to answer (too large, too slow, too many streams).
    static PageResponse Refusal(boost::beast::http::status status, const std::string& strWhy,
                                unsigned nVersion = 11);

private:
    bool IsOwnHost(const std::string& strHost, const SEnds& ends) const;
    SRouted RouteGet(const PageRequest& request, const std::optional<SPairedDevice>& device) const;
    SRouted RoutePost(const PageRequest& request, const SEnds& ends,
                      const std::optional<SPairedDevice>& device) const;
    // Why a POST is not the page's own script's JSON object; empty where it is.
    static std::optional<SRouted> NotFromPage(const PageRequest& request, nlohmann::json& body);
    SRouted RouteChange(const PageRequest& request, const nlohmann::json& body) const;
    SRouted RoutePairing(const PageRequest& request, const SEnds& ends,
                         const nlohmann::json& body) const;
    SRouted RouteForget(const PageRequest& request, const SEnds& ends, const nlohmann::json& body,
                        const SPairedDevice& device) const;
    SRouted DeviceState(const PageRequest& request,
                        const std::optional<SPairedDevice>& device) const;
    static std::string Cookie(const PageRequest& request, std::string_view name);
    static void SetCookie(PageResponse& response, const char* pszName, const std::string& strValue,
                          long nSeconds);
    static SRouted Routed(EAction action, PageResponse response);
    static SRouted Done(const PageRequest& request, bool bDone, const std::string& strReason);
    static SRouted Refused(const PageRequest& request, boost::beast::http::status status,
                           const std::string& strWhy);
    static PageResponse StreamHeader(const PageRequest& request);
    static PageResponse Made(boost::beast::http::status status, unsigned nVersion, bool bKeepAlive,
                             const char* pszType, std::string strBody);
    static PageResponse Answer(const PageRequest& request, boost::beast::http::status status,
                               const char* pszType, std::string strBody);

    const CPageState& m_State;
    CPairing& m_Pairing;
};
