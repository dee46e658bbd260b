// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageRoutes.h"

#include "server/page/PageAssets.h"
#include "server/page/PageProtocol.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace http = boost::beast::http;
using namespace PageProtocol;

namespace
{

bool SameText(std::string_view strA, std::string_view strB)
{
    return std::equal(strA.begin(), strA.end(), strB.begin(), strB.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

// Every answer says what a page on a LAN must: nothing of another origin runs in it or frames
// it, no type is guessed, no address leaves with a link, and nothing of it is kept.
void SetCommonFields(PageResponse& response)
{
    response.set("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.set(http::field::cache_control, "no-store");
}

} // namespace

PageResponse CPageRoutes::Answer(const PageRequest& request, http::status status,
                                 const char* pszType, std::string strBody)
{
    return Made(status, request.version(), request.keep_alive(), pszType, std::move(strBody));
}

PageResponse CPageRoutes::Made(http::status status, unsigned nVersion, bool bKeepAlive,
                               const char* pszType, std::string strBody)
{
    PageResponse response{status, nVersion};
    SetCommonFields(response);
    response.set(http::field::content_type, pszType);
    response.keep_alive(bKeepAlive);
    response.body() = std::move(strBody);
    response.prepare_payload();
    return response;
}

// A stream's body has no length: it ends as its connection closes.
PageResponse CPageRoutes::StreamHeader(const PageRequest& request)
{
    PageResponse response{http::status::ok, request.version()};
    SetCommonFields(response);
    response.set(http::field::content_type, "text/event-stream");
    response.keep_alive(false);
    return response;
}

PageResponse CPageRoutes::Refusal(http::status status, const std::string& strWhy, unsigned nVersion)
{
    return Made(status, nVersion, false, "text/plain; charset=utf-8", strWhy + "\n");
}

CPageRoutes::SRouted CPageRoutes::Refused(const PageRequest& request, http::status status,
                                          const std::string& strWhy)
{
    return Routed(EAction::Respond, Refusal(status, strWhy, request.version()));
}

CPageRoutes::SRouted CPageRoutes::Route(const PageRequest& request, const SEnds& ends) const
{
    if (static_cast<std::size_t>(std::distance(request.begin(), request.end())) > kMaxFields)
        return Refused(request, http::status::request_header_fields_too_large,
                       "Too many header fields");
    // A name of another's (a DNS rebinding) would make this server another site's page.
    if (!IsOwnHost(std::string(request[http::field::host]), ends))
        return Refused(request, http::status::misdirected_request,
                       "This server answers to its own addresses and names only");
    const std::string strToken = Cookie(request, kDeviceCookie);
    std::optional<SPairedDevice> device = m_Pairing.Recognise(strToken);
    SRouted routed = request.method() == http::verb::post ? RoutePost(request, ends, device)
                                                          : RouteGet(request, device);
    // Each use renews the device's cookie, unless the answer ended it.
    if (device && routed.strForgotten != device->strId) {
        SetCookie(routed.Response, kDeviceCookie, strToken, kDeviceCookieSeconds);
        routed.Device = std::move(device);
    }
    return routed;
}

CPageRoutes::SRouted CPageRoutes::RouteGet(const PageRequest& request,
                                           const std::optional<SPairedDevice>& device) const
{
    if (request.method() != http::verb::get)
        return Refused(request, http::status::method_not_allowed, "Not a request of the page");
    const std::string_view target = request.target();
    if (target == kDevicePath)
        return DeviceState(request, device);
    if (target == kEventsPath)
        return device ? Routed(EAction::OpenStream, StreamHeader(request))
                      : Refused(request, http::status::forbidden, "This device is not paired");
    static const struct {
        const char* pszPath;
        const char* pszType;
        std::string_view text;
    } kFiles[] = {{kPagePath, "text/html; charset=utf-8", PageAssets::kHtml},
                  {kStylePath, "text/css; charset=utf-8", PageAssets::kStyle},
                  {kScriptPath, "text/javascript; charset=utf-8", PageAssets::kScript}};
    for (const auto& file : kFiles)
        if (target == file.pszPath)
            return Routed(EAction::Respond,
                          Answer(request, http::status::ok, file.pszType, std::string(file.text)));
    return Refused(request, http::status::not_found, "No such page");
}

CPageRoutes::SRouted CPageRoutes::RoutePost(const PageRequest& request, const SEnds& ends,
                                            const std::optional<SPairedDevice>& device) const
{
    nlohmann::json body;
    if (std::optional<SRouted> refused = NotFromPage(request, body))
        return std::move(*refused);
    const std::string_view target = request.target();
    if (target == kPairingPath || target == kCodePath)
        return RoutePairing(request, ends, body);
    if (target != kSharingPath && target != kForgetPath)
        return Refused(request, http::status::not_found, "No such page");
    if (!device)
        return Refused(request, http::status::forbidden, "This device is not paired");
    return target == kSharingPath ? RouteChange(request, body)
                                  : RouteForget(request, ends, body, *device);
}

// The Host names one of the addresses that reached the server or its own name, with the page's
// port or none.
bool CPageRoutes::IsOwnHost(const std::string& strHost, const SEnds& ends) const
{
    std::string strName = strHost;
    const auto nColon = strHost.rfind(':');
    if (nColon != std::string::npos) {
        if (strHost.substr(nColon + 1) != std::to_string(ends.nPort))
            return false;
        strName = strHost.substr(0, nColon);
    }
    if (strName.empty())
        return false;
    if (strName == ends.strLocalAddress)
        return true;
    const std::string strHostName = m_State.HostName();
    return SameText(strName, "localhost") ||
           (!strHostName.empty() &&
            (SameText(strName, strHostName) || SameText(strName, strHostName + ".local")));
}

// A change comes only from the page's own script: its origin, its header and a JSON body, which
// a form or a page of another site cannot send without the leave that no answer here gives.
std::optional<CPageRoutes::SRouted> CPageRoutes::NotFromPage(const PageRequest& request,
                                                             nlohmann::json& body)
{
    if (request[http::field::origin] != "http://" + std::string(request[http::field::host]))
        return Refused(request, http::status::forbidden,
                       "A change comes from the page's own origin only");
    if (request[kPageHeader] != kPageHeaderValue)
        return Refused(request, http::status::forbidden,
                       "A change comes from the page's own script only");
    const std::string_view type = request[http::field::content_type];
    if (type.substr(0, type.find(';')) != "application/json")
        return Refused(request, http::status::unsupported_media_type, "A change is sent as JSON");
    body = nlohmann::json::parse(request.body(), nullptr, false);
    if (!body.is_object())
        return Refused(request, http::status::bad_request, "A change is a JSON object");
    return std::nullopt;
}

namespace
{

// A string field of the body, no longer than the bound; none where there is no such string.
std::optional<std::string> Field(const nlohmann::json& body, const char* pszName,
                                 std::size_t nMaxBytes)
{
    const auto field = body.find(pszName);
    if (field == body.end() || !field->is_string() ||
        field->get_ref<const std::string&>().size() > nMaxBytes)
        return std::nullopt;
    return field->get<std::string>();
}

} // namespace

CPageRoutes::SRouted CPageRoutes::RouteChange(const PageRequest& request,
                                              const nlohmann::json& body) const
{
    const std::string strId = Field(body, "id", kMaxIdBytes).value_or(std::string());
    if (strId.empty() || !body.contains("share") || !body["share"].is_boolean())
        return Refused(request, http::status::bad_request,
                       "A change names a connection's \"id\" and whether to \"share\" it");
    SRouted routed = Routed(EAction::ChangeSharing, PageResponse());
    routed.strId = strId;
    routed.bShare = body["share"].get<bool>();
    return routed;
}

// A request for a code carries the device's name; the code, the key of the request that this
// browser holds.
CPageRoutes::SRouted CPageRoutes::RoutePairing(const PageRequest& request, const SEnds& ends,
                                               const nlohmann::json& body) const
{
    const bool bAsks = request.target() == kPairingPath;
    const std::optional<std::string> text = Field(body, bAsks ? "name" : "code", kMaxIdBytes);
    if (!text)
        return Refused(request, http::status::bad_request,
                       bAsks ? "A request for a code names the device" : "The code is missing");
    const std::string& strText = *text;
    const std::string strRequest = Cookie(request, kPairingCookie);
    const CPairing::SAnswer answer =
        bAsks ? m_Pairing.Ask(strText, ends.strPeerAddress, strRequest)
              : m_Pairing.Confirm(strRequest, strText, ends.strPeerAddress);
    SRouted routed = Done(request, answer.bDone, answer.strReason);
    if (answer.bDone && bAsks)
        SetCookie(routed.Response, kPairingCookie, answer.strCookie, kPairingCookieSeconds);
    if (answer.bDone && !bAsks) {
        SetCookie(routed.Response, kDeviceCookie, answer.strCookie, kDeviceCookieSeconds);
        SetCookie(routed.Response, kPairingCookie, std::string(), 0);
    }
    return routed;
}

CPageRoutes::SRouted CPageRoutes::RouteForget(const PageRequest& request, const SEnds& ends,
                                              const nlohmann::json& body,
                                              const SPairedDevice& device) const
{
    const std::string strId = Field(body, "id", kMaxIdBytes).value_or(std::string());
    if (!m_Pairing.Forget(strId, device, ends.strPeerAddress))
        return Done(request, false, "No such device is paired");
    SRouted routed = Done(request, true, std::string());
    if (strId == device.strId)
        SetCookie(routed.Response, kDeviceCookie, std::string(), 0);
    routed.strForgotten = strId;
    return routed;
}

CPageRoutes::SRouted CPageRoutes::DeviceState(const PageRequest& request,
                                              const std::optional<SPairedDevice>& device) const
{
    const nlohmann::json state =
        device ? nlohmann::json{{"paired", true}, {"id", device->strId}, {"name", device->strName}}
               : nlohmann::json{{"paired", false},
                                {"asked", m_Pairing.IsPending(Cookie(request, kPairingCookie))}};
    return Routed(EAction::Respond,
                  Answer(request, http::status::ok, "application/json", Dump(state)));
}

std::string CPageRoutes::Cookie(const PageRequest& request, std::string_view name)
{
    const auto [first, last] = request.equal_range(http::field::cookie);
    for (auto field = first; field != last; ++field) {
        const std::string_view text = field->value();
        for (std::size_t nAt = 0; nAt < text.size();) {
            const std::size_t nEnd = std::min(text.find(';', nAt), text.size());
            std::string_view pair = text.substr(nAt, nEnd - nAt);
            nAt = nEnd + 1;
            pair.remove_prefix(std::min(pair.find_first_not_of(' '), pair.size()));
            if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
                pair[name.size()] == '=')
                return std::string(pair.substr(name.size() + 1));
        }
    }
    return std::string();
}

void CPageRoutes::SetCookie(PageResponse& response, const char* pszName,
                            const std::string& strValue, long nSeconds)
{
    response.insert(http::field::set_cookie, std::string(pszName) + "=" + strValue +
                                                 "; Path=/; Max-Age=" + std::to_string(nSeconds) +
                                                 "; HttpOnly; SameSite=Strict");
}

CPageRoutes::SRouted CPageRoutes::Done(const PageRequest& request, bool bDone,
                                       const std::string& strReason)
{
    return Routed(EAction::Respond, ChangeAnswer(request, bDone, strReason));
}

CPageRoutes::SRouted CPageRoutes::Routed(EAction action, PageResponse response)
{
    SRouted routed;
    routed.Action = action;
    routed.Response = std::move(response);
    return routed;
}

PageResponse CPageRoutes::ChangeAnswer(const PageRequest& request, bool bDone,
                                       const std::string& strReason)
{
    const nlohmann::json answer = {{"done", bDone}, {"reason", strReason}};
    return Answer(request, http::status::ok, "application/json", Dump(answer));
}
