// SPDX-License-Identifier: GPL-3.0-or-later
// The page's handling of what a stranger sends: the bytes are parsed by Beast within the server's
// bounds and routed. Every answer carries the page's defences; a change is routed only from the
// page's own origin with its header and a JSON body naming a connection; a name not the server's
// is refused; and the same bytes as a Log entry reach the page's stream as JSON that reads back.
#include "FuzzCheck.h"
#include "ServerSettings.h"
#include "server/page/PageProtocol.h"
#include "server/page/PageRoutes.h"
#include "server/page/PageServer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace http = boost::beast::http;

namespace
{

void CheckEntryReadsBack(const std::string& strText)
{
    CPageState state;
    state.ShowEntries({{"01-01-2026 00:00:00", strText, ILogSink::EPriority::Warning}});
    std::uint64_t nVersion = 0;
    const std::string strEvent = state.Snapshot(nVersion);
    const std::string strData = strEvent.substr(strEvent.find("data: ") + 6);
    FUZZ_CHECK(strData.find('\n') == strData.size() - 2);
    const nlohmann::json snapshot = nlohmann::json::parse(strData, nullptr, false);
    FUZZ_CHECK(!snapshot.is_discarded());
    FUZZ_CHECK(snapshot["entries"].size() == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strBytes(reinterpret_cast<const char*>(pData), nSize);
    CheckEntryReadsBack(strBytes);

    const CPageServer::SLimits limits;
    http::request_parser<http::string_body> parser;
    parser.header_limit(static_cast<std::uint32_t>(limits.nHeaderBytes));
    parser.body_limit(limits.nBodyBytes);
    parser.eager(true);
    boost::beast::error_code error;
    parser.put(boost::asio::buffer(strBytes), error);
    if (error || !parser.is_done())
        return 0;
    const PageRequest request = parser.release();

    CPageState state;
    state.SetHostName("gateway");
    const CPageRoutes routes(state);
    const CPageRoutes::SRouted routed =
        routes.Route(request, {"10.0.0.1", "10.0.0.23", CServerSettings::kDefaultPagePort});
    const PageResponse& response = routed.Response;
    if (routed.Action == CPageRoutes::EAction::ChangeSharing) {
        FUZZ_CHECK(request.method() == http::verb::post);
        FUZZ_CHECK(request[http::field::origin] ==
                   "http://" + std::string(request[http::field::host]));
        FUZZ_CHECK(request[PageProtocol::kPageHeader] == PageProtocol::kPageHeaderValue);
        FUZZ_CHECK(routed.strId.size() <= CPageRoutes::kMaxIdBytes);
        return 0;
    }
    FUZZ_CHECK(response["Content-Security-Policy"] == "default-src 'self'; frame-ancestors 'none'");
    FUZZ_CHECK(response["X-Content-Type-Options"] == "nosniff");
    FUZZ_CHECK(response["Referrer-Policy"] == "no-referrer");
    FUZZ_CHECK(response[http::field::cache_control] == "no-store");
    const std::string strHost(request[http::field::host]);
    const bool bOwnHost = strHost == "10.0.0.1" || strHost == "10.0.0.1:10001" ||
                          strHost.rfind("gateway", 0) == 0 || strHost.rfind("GATEWAY", 0) == 0 ||
                          strHost.find("ocalhost") != std::string::npos ||
                          strHost.find("OCALHOST") != std::string::npos;
    if (response.result() == http::status::ok)
        FUZZ_CHECK(bOwnHost);
    return 0;
}
