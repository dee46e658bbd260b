// SPDX-License-Identifier: GPL-3.0-or-later
// The page's handling of what a stranger sends: the bytes are parsed by Beast within the server's
// bounds and routed. Every answer carries the page's defences; a change is routed only from the
// page's own origin with its header and a JSON body naming a connection, and only for a paired
// device; the stream and the data are a paired device's only; a name not the server's is refused;
// and the same bytes as a Log entry reach the page's stream as JSON that reads back. "@TOKEN@" in
// the bytes stands for a paired device's token, so that the paired routes are reached too.
#include "FuzzCheck.h"
#include "ServerSettings.h"
#include "server/page/PageProtocol.h"
#include "server/page/PageRoutes.h"
#include "server/page/PageServer.h"
#include "server/page/Pairing.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

namespace http = boost::beast::http;

namespace
{

// Keeps the codes that pairing gives.
class CCodes : public ILogSink
{
public:
    void AddEntry(std::string strText, EPriority) override
    {
        if (strText.rfind(CPairing::kCodeEntryStart, 0) == 0)
            m_strCode = strText.substr(std::string(CPairing::kCodeEntryStart).size(), 7);
    }
    std::string m_strCode;

protected:
    void HoldEntries() override {}
    void ReleaseEntries() override {}
};

bool IsOpenToAll(const PageRequest& request)
{
    const std::string_view target = request.target();
    return target == PageProtocol::kPagePath || target == PageProtocol::kStylePath ||
           target == PageProtocol::kScriptPath || target == PageProtocol::kDevicePath ||
           target == PageProtocol::kPairingPath || target == PageProtocol::kCodePath;
}

void Replace(std::string& strText, const std::string& strFrom, const std::string& strTo)
{
    for (std::size_t nAt = 0; (nAt = strText.find(strFrom, nAt)) != std::string::npos;
         nAt += strTo.size())
        strText.replace(nAt, strFrom.size(), strTo);
}

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
    std::string strBytes(reinterpret_cast<const char*>(pData), nSize);
    CheckEntryReadsBack(strBytes);
    CCodes codes;
    CPairing pairing(codes, CClock::System(), std::string());
    const std::string strKey = pairing.Ask("Phone", "10.0.0.24", std::string()).strCookie;
    const std::string strToken = pairing.Confirm(strKey, codes.m_strCode, "10.0.0.24").strCookie;
    FUZZ_CHECK(strToken.size() == 2 * CPairing::kTokenBytes);
    Replace(strBytes, "@TOKEN@", strToken);

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
    const CPageRoutes routes(state, pairing);
    const CPageRoutes::SRouted routed =
        routes.Route(request, {"10.0.0.1", "10.0.0.23", CServerSettings::kDefaultPagePort});
    const PageResponse& response = routed.Response;
    bool bPaired = false;
    const auto [first, last] = request.equal_range(http::field::cookie);
    for (auto field = first; field != last; ++field)
        bPaired = bPaired || field->value().find(strToken) != std::string_view::npos;
    FUZZ_CHECK(routed.Device.has_value() == bPaired || !routed.Device.has_value());
    if (routed.Action != CPageRoutes::EAction::Respond)
        FUZZ_CHECK(routed.Device.has_value() && bPaired);
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
    // Names are told apart whatever their case.
    std::string strHost(request[http::field::host]);
    std::transform(strHost.begin(), strHost.end(), strHost.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool bOwnHost = strHost == "10.0.0.1" || strHost == "10.0.0.1:10001" ||
                          strHost.rfind("gateway", 0) == 0 || strHost.rfind("localhost", 0) == 0;
    if (response.result() == http::status::ok) {
        FUZZ_CHECK(bOwnHost);
        FUZZ_CHECK(bPaired || IsOpenToAll(request));
    }
    return 0;
}
