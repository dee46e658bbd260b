// SPDX-License-Identifier: GPL-3.0-or-later
// The server's page, served by the host in the test's process: its files and their defences, its
// stream of events, its changes on the protocol's way with their entries, the requests that are
// not the page's, its bounds of size, time, connections and streams, and its settings.
#include "AdapterGuid.h"
#include "PageClient.h"
#include "ServerHostFixture.h"
#include "TestPlatform.h"

#include <boost/asio/write.hpp>

#include <thread>

using namespace PageClient;
using PageServerTest = CServerHostTest;

namespace
{

constexpr int kPagePort = CServerSettings::kDefaultPagePort;

// The data of the last event of the kind in what a stream read.
nlohmann::json LastEvent(const std::string& strRead, const std::string& strEvent)
{
    const std::string strStart = "event: " + strEvent + "\ndata: ";
    const auto nStart = strRead.rfind(strStart);
    if (nStart == std::string::npos)
        return nlohmann::json();
    const auto nData = nStart + strStart.size();
    return nlohmann::json::parse(strRead.substr(nData, strRead.find('\n', nData) - nData));
}

std::string IdOf(const std::string& strRead, const std::string& strName)
{
    const nlohmann::json state = LastEvent(strRead, "state");
    for (const auto& connection : state["connections"])
        if (connection["name"] == strName)
            return connection["id"];
    return std::string();
}

bool PageAnswers()
{
    return Send(PageRequest(http::verb::get, "/", kPagePort), kPagePort).result() ==
           http::status::ok;
}

} // namespace

TEST_F(PageServerTest, thePageIsSaidAfterTheListenerAndItsFilesComeWithTheirDefences)
{
    Open();
    const std::vector<std::string> messages = m_Recorder.Messages();
    const auto listening = std::find(messages.begin(), messages.end(), "Listening for clients");
    ASSERT_NE(listening, messages.end());
    EXPECT_EQ(*(listening + 1), "The server's page is at http://127.0.0.1:10001/");
    for (const auto& [path, type] : {std::pair{"/", "text/html; charset=utf-8"},
                                     {"/page.css", "text/css; charset=utf-8"},
                                     {"/page.js", "text/javascript; charset=utf-8"}}) {
        const HttpResponse response =
            Send(PageRequest(http::verb::get, path, kPagePort), kPagePort);
        EXPECT_EQ(response.result(), http::status::ok) << path;
        EXPECT_EQ(response[http::field::content_type], type);
        EXPECT_EQ(response["Content-Security-Policy"],
                  "default-src 'self'; frame-ancestors 'none'");
        EXPECT_EQ(response["X-Content-Type-Options"], "nosniff");
        EXPECT_EQ(response["Referrer-Policy"], "no-referrer");
        EXPECT_EQ(response[http::field::cache_control], "no-store");
        EXPECT_FALSE(response.body().empty());
    }
    EXPECT_EQ(Send(PageRequest(http::verb::get, "/etc/passwd", kPagePort), kPagePort).result(),
              http::status::not_found);
    EXPECT_EQ(Send(PageRequest(http::verb::put, "/", kPagePort), kPagePort).result(),
              http::status::method_not_allowed);
    // No answer lets another site's script read or send anything.
    EXPECT_EQ(Send(PageRequest(http::verb::options, "/sharing", kPagePort),
                   kPagePort)[http::field::access_control_allow_origin],
              "");
}

// A share and an unshare from the page take the request handler's way, with one entry before
// it; the stream shows what every front does, a desktop client's entries too, as JSON text.
TEST_F(PageServerTest, aChangeFromThePageTakesTheProtocolsWayAndTheStreamShowsEveryFront)
{
    m_pService->AddConnection(TestConnection(L"LAN", NCM_LAN));
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED));
    Open();
    std::string strRead;
    beast::tcp_stream events = OpenEvents(kPagePort, strRead);
    const std::string strId = IdOf(strRead, "My ISP");
    ASSERT_FALSE(strId.empty());
    EXPECT_FALSE(LastEvent(strRead, "state")["connections"][1]["shared"].get<bool>());

    for (const bool bShare : {true, false}) {
        const std::size_t nBefore = m_Recorder.Count();
        const HttpResponse response = Send(ChangeRequest(strId, bShare, kPagePort), kPagePort);
        EXPECT_EQ(nlohmann::json::parse(response.body())["done"], true);
        ASSERT_TRUE(m_Recorder.WaitUntil(
            [&](CRecorder& r) { return r.m_Messages.back() == "Populated connection list"; }));
        EXPECT_EQ(
            m_Recorder.Messages(nBefore),
            (std::vector<std::string>{
                bShare ? "The page at 127.0.0.1 asks to share My ISP"
                       : "The page at 127.0.0.1 asks to stop sharing My ISP",
                bShare ? "Share request for connection 1" : "Unshare request for connection 1",
                "Replied with: " + m_strHost + ":Okay", "Populated connection list"}));
        ASSERT_TRUE(ReadUntilShown(events, strRead, strId, bShare));
    }

    // A connection that a refresh took away is refused with the Log's reason.
    const HttpResponse gone =
        Send(ChangeRequest("{00000000-0000-0000-0000-000000000000}", true, kPagePort), kPagePort);
    EXPECT_EQ(nlohmann::json::parse(gone.body()),
              (nlohmann::json{{"done", false},
                              {"reason", "The page at 127.0.0.1 asks to share a connection that "
                                         "is no longer there"}}));
    // Markup that a desktop client sends reaches the page as text in JSON, never as markup.
    Request("PC7:<img src=x onerror=alert(1)>\x01\xff");
    ASSERT_TRUE(ReadUntil(events, strRead, "Message Received: PC7:<img src=x onerror=alert(1)>"));
    EXPECT_NE(strRead.find("onerror=alert(1)>\\u0001\xEF\xBF\xBD\""), std::string::npos);
}

TEST_F(PageServerTest, requestsThatAreNotThePagesAreRefusedAndThePageAnswersAfterEach)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    const std::size_t nBefore = m_Recorder.Count();
    const auto refused = [](HttpRequest request) {
        request.prepare_payload();
        const http::status status = Send(request, kPagePort).result();
        EXPECT_TRUE(PageAnswers());
        return status;
    };
    HttpRequest forged = PageRequest(http::verb::get, "/", kPagePort);
    for (const char* pszHost : {"attacker.example", "attacker.example:10001", "127.0.0.1:80", ""}) {
        forged.set(http::field::host, pszHost);
        EXPECT_EQ(refused(forged), http::status::misdirected_request) << pszHost;
    }
    HttpRequest change = ChangeRequest("{x}", true, kPagePort);
    HttpRequest other = change;
    other.set(http::field::origin, "http://attacker.example");
    EXPECT_EQ(refused(other), http::status::forbidden);
    other = change;
    other.erase(http::field::origin);
    EXPECT_EQ(refused(other), http::status::forbidden);
    other = change;
    other.erase(PageProtocol::kPageHeader);
    EXPECT_EQ(refused(other), http::status::forbidden);
    other = change;
    other.set(http::field::content_type, "text/plain");
    EXPECT_EQ(refused(other), http::status::unsupported_media_type);
    for (const char* pszBody : {"", "{", "[]", "{\"id\":1,\"share\":true}", "{\"id\":\"x\"}",
                                "{\"id\":\"x\",\"share\":\"yes\"}"}) {
        other.set(http::field::content_type, "application/json");
        other.body() = pszBody;
        EXPECT_EQ(refused(other), http::status::bad_request) << pszBody;
    }
    other.body() = PageProtocol::Dump({{"id", std::string(65, 'x')}, {"share", true}});
    EXPECT_EQ(refused(other), http::status::bad_request);
    // Size: a field too long, too many fields, a body too long.
    HttpRequest large = PageRequest(http::verb::get, "/", kPagePort);
    large.set("X-Large", std::string(9000, 'a'));
    EXPECT_EQ(refused(large), http::status::request_header_fields_too_large);
    large = PageRequest(http::verb::get, "/", kPagePort);
    for (int i = 0; i < 60; ++i)
        large.insert("X-Field-" + std::to_string(i), "1");
    EXPECT_EQ(refused(large), http::status::request_header_fields_too_large);
    other.body() = std::string(5000, ' ');
    EXPECT_EQ(refused(other), http::status::payload_too_large);
    // None of them came near the sharing or the Log.
    EXPECT_EQ(m_Recorder.Count(), nBefore);
}

// A request sent a byte at a time is cut off at the deadline.
TEST_F(PageServerTest, aRequestSentSlowlyIsCutOffAtTheDeadline)
{
    m_PageLimits.RequestDeadline = std::chrono::milliseconds(1000);
    Open();
    beast::tcp_stream slow = Connect(kPagePort);
    slow.socket().non_blocking(true);
    const std::string strRequest =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(200, 'a') + "\r\n\r\n";
    std::size_t nSent = 0;
    for (beast::error_code error; nSent < strRequest.size(); ++nSent) {
        net::write(slow.socket(), net::buffer(&strRequest[nSent], 1), error);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        char cByte = 0;
        slow.socket().read_some(net::buffer(&cByte, 1), error);
        // Closed, reset, or answered: the request has ended.
        if (error != net::error::would_block)
            break;
    }
    EXPECT_LT(nSent, strRequest.size()) << "a request at 20 bytes a second was let through";
    EXPECT_TRUE(PageAnswers());
}

// A connection or a stream beyond the bound is refused, and one is let in again once another has
// gone.
TEST_F(PageServerTest, connectionsAndStreamsAreBounded)
{
    m_PageLimits.RequestDeadline = std::chrono::minutes(10);
    m_PageLimits.nStreams = 2;
    m_PageLimits.nConnections = 4;
    Open();
    {
        std::vector<beast::tcp_stream> idle;
        for (int i = 0; i < 4; ++i)
            idle.push_back(Connect(kPagePort));
        EXPECT_EQ(Send(PageRequest(http::verb::get, "/", kPagePort), kPagePort).result_int(), 0u);
    }
    // The server hears of a close in its own time: until then the next is refused.
    while (!PageAnswers())
        continue;
    std::string strFirst;
    std::string strSecond;
    std::optional<beast::tcp_stream> first(OpenEvents(kPagePort, strFirst));
    beast::tcp_stream second = OpenEvents(kPagePort, strSecond);
    EXPECT_EQ(Send(PageRequest(http::verb::get, "/events", kPagePort), kPagePort).result(),
              http::status::service_unavailable);
    first.reset();
    for (std::string strThird;; strThird.clear()) {
        beast::tcp_stream third = Connect(kPagePort);
        http::write(third, PageRequest(http::verb::get, "/events", kPagePort));
        if (ReadUntil(third, strThird, "event: state"))
            break;
    }
}

TEST_F(PageServerTest, theSettingsMoveOrEndThePageAndAPortThatIsTakenLeavesTheProtocol)
{
    m_Settings = CServerSettings::FromText("page = off\n", "tarnlow.conf");
    Open();
    for (const std::string& strMessage : m_Recorder.Messages())
        EXPECT_EQ(strMessage.find("page"), std::string::npos) << strMessage;
    EXPECT_EQ(m_pHost->PagePort(), 0);
    m_pHost.reset();

    // Another program has the page's port: the Log says why, and the protocol is served.
    net::io_context context;
    net::ip::tcp::acceptor taken(context, {net::ip::make_address("127.0.0.1"), 10002});
    m_Settings = CServerSettings::FromText("page-port = 10002\n", "tarnlow.conf");
    m_Recorder.Read([](CRecorder& r) {
        r.m_Messages.clear();
        return 0;
    });
    Open();
    const std::vector<std::string> messages = m_Recorder.Messages();
    EXPECT_NE(std::find_if(messages.begin(), messages.end(),
                           [](const std::string& strMessage) {
                               return strMessage.starts_with(
                                   "The server's page cannot be served at port 10002: ");
                           }),
              messages.end());
    EXPECT_EQ(Request("PC7:Hello"), m_strHost + ":Hello");
}

// Loopback's adapter stands for the uplink, as for the protocol: the page's port gives nothing to
// a device beyond it, and names it.
TEST_F(PageServerTest, aDeviceBeyondTheDialupConnectionGetsNothingFromThePage)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine has no GetBestRoute2";
    const std::string strLoopback = AdapterGuidOf("127.0.0.1");
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.strGuid.assign(strLoopback.begin(), strLoopback.end());
    m_pService->AddConnection(dialup);
    Open();
    EXPECT_EQ(Send(PageRequest(http::verb::get, "/", kPagePort), kPagePort).result_int(), 0u);
    EXPECT_TRUE(m_Recorder.WaitUntil([](CRecorder& r) {
        return r.m_Messages.back() ==
               "Refused a client at 127.0.0.1, beyond the dial-up connection My ISP";
    }));
}
