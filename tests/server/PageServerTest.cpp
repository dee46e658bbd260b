// SPDX-License-Identifier: GPL-3.0-or-later
// The server's page, served by the host in the test's process: its files and their defences, its
// stream of events, its changes on the protocol's way with their entries, the requests that are
// not the page's, its bounds of size, time, connections and streams, and its settings.
#include "AdapterGuid.h"
#include "PageClient.h"
#include "ServerHostFixture.h"
#include "TestPlatform.h"

#include <boost/asio/write.hpp>

#include <regex>
#include <thread>

using namespace PageClient;
using namespace PageProtocol;

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

HttpResponse Post(const std::string& strTarget, const nlohmann::json& body)
{
    return Send(JsonRequest(strTarget, body, kPagePort), kPagePort);
}

nlohmann::json Get(const std::string& strTarget)
{
    return nlohmann::json::parse(
        Send(PageRequest(http::verb::get, strTarget, kPagePort), kPagePort).body(), nullptr, false);
}

} // namespace

// The test's browser pairs as the page's script does, with the code that the Log gave it.
class PageServerTest : public CServerHostTest
{
protected:
    void TearDown() override
    {
        Cookies().clear();
        CServerHostTest::TearDown();
    }

    // Asks for a code under the name, with the browser's cookies; the request's key, and the code
    // as the Log gave it.
    std::string Ask(const std::string& strName, std::string& strCode)
    {
        const std::size_t nBefore = m_Recorder.Count();
        const HttpResponse asked = Post(kPairingPath, {{"name", strName}});
        EXPECT_EQ(nlohmann::json::parse(asked.body())["done"], true) << asked.body();
        const std::regex entry("Pairing code ([0-9]{3}) ([0-9]{3}) for \"" + strName +
                               "\" at 127\\.0\\.0\\.1, valid for 5 minutes");
        EXPECT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
            std::smatch match;
            for (std::size_t i = nBefore; i < r.m_Messages.size(); ++i)
                if (std::regex_match(r.m_Messages[i], match, entry))
                    strCode = match[1].str() + " " + match[2].str();
            return !strCode.empty();
        }));
        return CookieValue(asked, kPairingCookie);
    }

    HttpResponse Confirm(const std::string& strKey, const std::string& strCode)
    {
        Cookies() = std::string(kPairingCookie) + "=" + strKey;
        const HttpResponse answer = Post(kCodePath, {{"code", strCode}});
        Cookies().clear();
        return answer;
    }

    // Pairs a device; its token becomes the browser's cookie. The next request from the address
    // may come at once.
    std::string Pair(const std::string& strName)
    {
        Cookies().clear();
        std::string strCode;
        const std::string strKey = Ask(strName, strCode);
        const std::string strToken = CookieValue(Confirm(strKey, strCode), kDeviceCookie);
        UseToken(strToken);
        m_Clock.Advance(CPairing::kAskEvery);
        return strToken;
    }

    static void UseToken(const std::string& strToken)
    {
        Cookies() = std::string(kDeviceCookie) + "=" + strToken;
    }

    void OpenPaired()
    {
        Open();
        Pair("Test phone");
    }
};

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
    OpenPaired();
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
                bShare ? "The device \"Test phone\" at 127.0.0.1 asks to share My ISP"
                       : "The device \"Test phone\" at 127.0.0.1 asks to stop sharing My ISP",
                bShare ? "Share request for connection 1" : "Unshare request for connection 1",
                "Replied with: " + m_strHost + ":Okay", "Populated connection list"}));
        ASSERT_TRUE(ReadUntilShown(events, strRead, strId, bShare));
    }

    // A connection that a refresh took away is refused with the Log's reason; the listener follows
    // the page's request all the same.
    const std::size_t nBeforeGone = m_Recorder.Count();
    const HttpResponse gone =
        Send(ChangeRequest("{00000000-0000-0000-0000-000000000000}", true, kPagePort), kPagePort);
    EXPECT_EQ(nlohmann::json::parse(gone.body()),
              (nlohmann::json{{"done", false},
                              {"reason", "The device \"Test phone\" at 127.0.0.1 asks to share a "
                                         "connection that is no longer there"}}));
    ASSERT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
        return r.m_Messages.size() > nBeforeGone + 1 &&
               r.m_Messages.back() == "Populated connection list";
    }));
    // Markup that a desktop client sends reaches the page as text in JSON, never as markup.
    Request("PC7:<img src=x onerror=alert(1)>\x01\xff");
    ASSERT_TRUE(ReadUntil(events, strRead, "Message Received: PC7:<img src=x onerror=alert(1)>"));
    EXPECT_NE(strRead.find("onerror=alert(1)>\\u0001\xEF\xBF\xBD\""), std::string::npos);
}

TEST_F(PageServerTest, requestsThatAreNotThePagesAreRefusedAndThePageAnswersAfterEach)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    OpenPaired();
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
    for (const char* pszBody :
         {"", "{", "[]", "{\"id\":1,\"share\":true}", "{\"id\":\"x\"}",
          "{\"id\":\"\",\"share\":true}", "{\"id\":\"x\",\"share\":\"yes\"}"}) {
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
    OpenPaired();
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

// A device that is not paired gets the page's files and the pairing only. Its code is bound to
// its browser, given once in the Log and never in the page's copy of it; a paired device's every
// answer renews its cookie.
TEST_F(PageServerTest, aDeviceThatIsNotPairedPairsWithTheCodeFromTheLogInItsOwnBrowserOnly)
{
    m_pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Open();
    EXPECT_TRUE(PageAnswers());
    EXPECT_EQ(Send(PageRequest(http::verb::get, kEventsPath, kPagePort), kPagePort).result(),
              http::status::forbidden);
    EXPECT_EQ(Send(ChangeRequest("{x}", true, kPagePort), kPagePort).result(),
              http::status::forbidden);
    EXPECT_EQ(Post(kForgetPath, {{"id", "0123456789abcdef"}}).result(), http::status::forbidden);
    EXPECT_EQ(Get(kDevicePath), (nlohmann::json{{"paired", false}, {"asked", false}}));
    const std::size_t nBefore = m_Recorder.Count();
    for (const std::string& strName :
         std::vector<std::string>{"", "   ", "Anna\nphone", "Anna\rphone", "\x1b[2J",
                                  "Anna\xe2\x80\xa8phone", "Anna\xc2\x85", std::string(33, 'a')})
        EXPECT_EQ(nlohmann::json::parse(Post(kPairingPath, {{"name", strName}}).body())["reason"],
                  "A device's name is 1 to 32 printable characters on one line")
            << strName;
    EXPECT_EQ(m_Recorder.Count(), nBefore);

    const std::string strName = "Anna's <b>phone</b> \xc3\xa9";
    std::string strCode;
    const std::string strKey = Ask(strName, strCode);
    ASSERT_EQ(strKey.size(), 64u);
    Cookies() = std::string(kPairingCookie) + "=" + strKey;
    EXPECT_EQ(Get(kDevicePath)["asked"], true);
    Cookies().clear();
    // Another browser has no request: the right code is no use there, and is not counted.
    const nlohmann::json elsewhere =
        nlohmann::json::parse(Post(kCodePath, {{"code", strCode}}).body());
    EXPECT_EQ(elsewhere["reason"],
              "No code is waiting for this browser, or it has expired: ask for a new one");
    const HttpResponse paired = Confirm(strKey, strCode);
    EXPECT_EQ(nlohmann::json::parse(paired.body())["done"], true);
    const std::string strToken = CookieValue(paired, kDeviceCookie);
    EXPECT_TRUE(std::regex_match(strToken, std::regex("[0-9a-f]{64}"))) << strToken;
    EXPECT_EQ(SetCookieField(paired, kDeviceCookie),
              std::string(kDeviceCookie) + "=" + strToken +
                  "; Path=/; Max-Age=34560000; HttpOnly; SameSite=Strict");
    EXPECT_EQ(SetCookieField(paired, kPairingCookie),
              std::string(kPairingCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict");
    EXPECT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
        return r.m_Messages.back() == "The device \"" + strName + "\" at 127.0.0.1 is paired";
    }));
    // The code is used up.
    EXPECT_EQ(nlohmann::json::parse(Confirm(strKey, strCode).body())["done"], false);

    UseToken(strToken);
    const HttpResponse device =
        Send(PageRequest(http::verb::get, kDevicePath, kPagePort), kPagePort);
    EXPECT_EQ(nlohmann::json::parse(device.body())["name"], strName);
    EXPECT_EQ(SetCookieField(device, kDeviceCookie), SetCookieField(paired, kDeviceCookie));
    std::string strRead;
    beast::tcp_stream events = OpenEvents(kPagePort, strRead);
    const nlohmann::json state = LastEvent(strRead, "state");
    ASSERT_EQ(state["devices"].size(), 1u);
    EXPECT_EQ(state["devices"][0]["name"], strName);
    EXPECT_FALSE(state["devices"][0].contains("hash"));
    EXPECT_EQ(strRead.find(strCode), std::string::npos);
    EXPECT_NE(strRead.find("Pairing code (in the server's Log only) for \\\"" + strName),
              std::string::npos);

    // A code not used within five minutes has expired.
    Cookies().clear();
    m_Clock.Advance(CPairing::kAskEvery);
    const std::string strLate = Ask("Late phone", strCode);
    m_Clock.Advance(CPairing::kCodeLife);
    EXPECT_EQ(nlohmann::json::parse(Confirm(strLate, strCode).body())["done"], false);
}

// Any paired device may forget any other, or itself: the forgotten device's stream ends at once,
// and its cookie, kept or stolen, is refused from then on.
TEST_F(PageServerTest, aForgottenDevicesStreamEndsAndItsCookieIsRefused)
{
    Open();
    const std::string strBen = Pair("Ben");
    const std::string strBenId = Get(kDevicePath)["id"];
    std::string strRead;
    beast::tcp_stream benStream = OpenEvents(kPagePort, strRead);
    const std::string strAnna = Pair("Anna");
    const std::string strAnnaId = Get(kDevicePath)["id"];
    ASSERT_TRUE(ReadUntil(benStream, strRead, "\"name\":\"Anna\""));

    const std::size_t nBefore = m_Recorder.Count();
    EXPECT_EQ(nlohmann::json::parse(Post(kForgetPath, {{"id", strBenId}}).body())["done"], true);
    while (ReadMore(benStream, strRead))
        continue;
    UseToken(strBen);
    EXPECT_EQ(Send(PageRequest(http::verb::get, kEventsPath, kPagePort), kPagePort).result(),
              http::status::forbidden);
    EXPECT_EQ(Send(ChangeRequest("{x}", true, kPagePort), kPagePort).result(),
              http::status::forbidden);
    EXPECT_EQ(Get(kDevicePath)["paired"], false);

    UseToken(strAnna);
    const HttpResponse itself = Post(kForgetPath, {{"id", strAnnaId}});
    EXPECT_EQ(SetCookieField(itself, kDeviceCookie),
              std::string(kDeviceCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict");
    EXPECT_EQ(Post(kForgetPath, {{"id", strAnnaId}}).result(), http::status::forbidden);
    EXPECT_EQ(
        m_Recorder.Messages(nBefore),
        (std::vector<std::string>{"The device \"Anna\" at 127.0.0.1 forgot the device \"Ben\"",
                                  "The device \"Anna\" at 127.0.0.1 forgot itself"}));
    EXPECT_TRUE(m_pHost->Pairing().Devices().empty());
}
