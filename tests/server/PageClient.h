// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' browser without a browser: requests to the page's server over loopback, made with
// Beast's own client, and a stream of its events read until a text comes.
#pragma once

#include "server/page/PageProtocol.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <string>

namespace PageClient
{
namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using HttpRequest = http::request<http::string_body>;
using HttpResponse = http::response<http::string_body>;

// The cookies that the test's browser sends with every request, as "name=value; name=value".
inline std::string& Cookies()
{
    static std::string strCookies;
    return strCookies;
}

// A request as the page's script sends it, to the page at the port.
inline HttpRequest PageRequest(http::verb method, const std::string& strTarget, int nPort)
{
    HttpRequest request{method, strTarget, 11};
    request.set(http::field::host, "127.0.0.1:" + std::to_string(nPort));
    if (!Cookies().empty())
        request.set(http::field::cookie, Cookies());
    if (method == http::verb::post) {
        request.set(http::field::origin, "http://127.0.0.1:" + std::to_string(nPort));
        request.set(PageProtocol::kPageHeader, PageProtocol::kPageHeaderValue);
        request.set(http::field::content_type, "application/json");
    }
    return request;
}

inline HttpRequest ChangeRequest(const std::string& strId, bool bShare, int nPort)
{
    HttpRequest request = PageRequest(http::verb::post, PageProtocol::kSharingPath, nPort);
    request.body() = PageProtocol::Dump({{"id", strId}, {"share", bShare}});
    request.prepare_payload();
    return request;
}

inline HttpRequest JsonRequest(const std::string& strTarget, const nlohmann::json& body, int nPort)
{
    HttpRequest request = PageRequest(http::verb::post, strTarget, nPort);
    request.body() = PageProtocol::Dump(body);
    request.prepare_payload();
    return request;
}

// The whole Set-Cookie field that the answer gives the cookie, and the cookie's value.
inline std::string SetCookieField(const HttpResponse& response, const std::string& strName)
{
    const auto [first, last] = response.equal_range(http::field::set_cookie);
    for (auto field = first; field != last; ++field)
        if (field->value().starts_with(strName + "="))
            return std::string(field->value());
    return std::string();
}

inline std::string CookieValue(const HttpResponse& response, const std::string& strName)
{
    const std::string strField = SetCookieField(response, strName);
    return strField.empty()
               ? strField
               : strField.substr(strName.size() + 1, strField.find(';') - strName.size() - 1);
}

inline beast::tcp_stream Connect(int nPort)
{
    static net::io_context context;
    beast::tcp_stream stream(context);
    stream.connect(net::ip::tcp::endpoint(net::ip::make_address("127.0.0.1"),
                                          static_cast<unsigned short>(nPort)));
    // A read that gets nothing for so long fails, as a condition that never comes.
#ifdef _WIN32
    const DWORD dwPatience = 30000;
    ::setsockopt(stream.socket().native_handle(), SOL_SOCKET, SO_RCVTIMEO,
                 reinterpret_cast<const char*>(&dwPatience), sizeof dwPatience);
#else
    const timeval patience{30, 0};
    ::setsockopt(stream.socket().native_handle(), SOL_SOCKET, SO_RCVTIMEO, &patience,
                 sizeof patience);
#endif
    return stream;
}

// The answer; a status of 0 where the server closed without one.
inline HttpResponse Send(HttpRequest request, int nPort)
{
    beast::tcp_stream stream = Connect(nPort);
    request.prepare_payload();
    beast::error_code error;
    http::write(stream, request, error);
    beast::flat_buffer buffer;
    HttpResponse response;
    http::read(stream, buffer, response, error);
    if (error) {
        HttpResponse none;
        none.result(0u);
        return none;
    }
    return response;
}

// Reads what has come; false when the server closed the stream or 30 s passed.
inline bool ReadMore(beast::tcp_stream& stream, std::string& strRead)
{
    char cBuffer[4096];
    beast::error_code error;
    const std::size_t nRead = stream.socket().read_some(net::buffer(cBuffer), error);
    strRead.append(cBuffer, nRead);
    return !error;
}

// Reads the stream until the text has come (true), the server closed it or 30 s passed.
inline bool ReadUntil(beast::tcp_stream& stream, std::string& strRead, const std::string& strText)
{
    while (strRead.find(strText) == std::string::npos)
        if (!ReadMore(stream, strRead))
            return false;
    return true;
}

// Reads the stream until a list of connections shows the connection shared, or not.
inline bool ReadUntilShown(beast::tcp_stream& stream, std::string& strRead,
                           const std::string& strId, bool bShared)
{
    const std::string strStart = "event: connections\ndata: ";
    for (std::size_t nFrom = 0;;) {
        const auto nEvent = strRead.find(strStart, nFrom);
        const auto nEnd = nEvent == std::string::npos ? nEvent : strRead.find("\n\n", nEvent);
        if (nEnd == std::string::npos) {
            if (!ReadMore(stream, strRead))
                return false;
            continue;
        }
        nFrom = nEnd;
        const auto nData = nEvent + strStart.size();
        for (const auto& connection : nlohmann::json::parse(strRead.substr(nData, nEnd - nData)))
            if (connection["id"] == strId && connection["shared"] == bShared)
                return true;
    }
}

// Opens the page's stream of events; its header and first state are read into strRead.
inline beast::tcp_stream OpenEvents(int nPort, std::string& strRead)
{
    beast::tcp_stream stream = Connect(nPort);
    http::write(stream, PageRequest(http::verb::get, PageProtocol::kEventsPath, nPort));
    ReadUntil(stream, strRead, "event: state");
    ReadUntil(stream, strRead, "\n\n");
    return stream;
}

} // namespace PageClient
