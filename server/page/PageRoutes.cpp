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
    return {EAction::Respond, Refusal(status, strWhy, request.version()), {}, false};
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
    const std::string_view target = request.target();
    if (request.method() == http::verb::post && target == kSharingPath)
        return RouteChange(request);
    if (request.method() != http::verb::get)
        return Refused(request, http::status::method_not_allowed, "Not a request of the page");
    if (target == kEventsPath)
        return {EAction::OpenStream, StreamHeader(request), {}, false};
    static const struct {
        const char* pszPath;
        const char* pszType;
        std::string_view text;
    } kFiles[] = {{kPagePath, "text/html; charset=utf-8", PageAssets::kHtml},
                  {kStylePath, "text/css; charset=utf-8", PageAssets::kStyle},
                  {kScriptPath, "text/javascript; charset=utf-8", PageAssets::kScript}};
    for (const auto& file : kFiles)
        if (target == file.pszPath)
            return {EAction::Respond,
                    Answer(request, http::status::ok, file.pszType, std::string(file.text)),
                    {},
                    false};
    return Refused(request, http::status::not_found, "No such page");
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
CPageRoutes::SRouted CPageRoutes::RouteChange(const PageRequest& request) const
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
    const nlohmann::json body = nlohmann::json::parse(request.body(), nullptr, false);
    if (!body.is_object() || !body.contains("id") || !body["id"].is_string() ||
        !body.contains("share") || !body["share"].is_boolean() ||
        body["id"].get_ref<const std::string&>().size() > kMaxIdBytes)
        return Refused(request, http::status::bad_request,
                       "A change names a connection's \"id\" and whether to \"share\" it");
    return {EAction::ChangeSharing, PageResponse(), body["id"].get<std::string>(),
            body["share"].get<bool>()};
}

PageResponse CPageRoutes::ChangeAnswer(const PageRequest& request, bool bDone,
                                       const std::string& strReason)
{
    const nlohmann::json answer = {{"done", bDone}, {"reason", strReason}};
    return Answer(request, http::status::ok, "application/json", Dump(answer));
}
