// SPDX-License-Identifier: GPL-3.0-or-later
// The words of the page's requests, as the server and the page's script both use them: its paths,
// the header that only the page's own script sends, and how its JSON is written.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace PageProtocol
{

inline constexpr const char* kPagePath = "/";
inline constexpr const char* kStylePath = "/page.css";
inline constexpr const char* kScriptPath = "/page.js";
inline constexpr const char* kEventsPath = "/events";
inline constexpr const char* kSharingPath = "/sharing";
// Whether this browser's device is paired; a request for a code, the code, and forgetting a device.
inline constexpr const char* kDevicePath = "/device";
inline constexpr const char* kPairingPath = "/pairing";
inline constexpr const char* kCodePath = "/pairing/code";
inline constexpr const char* kForgetPath = "/forget";
// The paired device's token, and the key of the request that waits for its code: HttpOnly, so
// that no script has them, and SameSite=Strict, so that no other site's request carries them.
inline constexpr const char* kDeviceCookie = "tarnlow-device";
inline constexpr const char* kPairingCookie = "tarnlow-pairing";
// 400 days, the longest that browsers keep a cookie; each use renews it.
inline constexpr long kDeviceCookieSeconds = 400L * 24 * 60 * 60;
inline constexpr long kPairingCookieSeconds = 5 * 60;
// A page of another site cannot send it without the server's leave, which no answer gives.
inline constexpr const char* kPageHeader = "X-Tarnlow-Page";
inline constexpr const char* kPageHeaderValue = "1";

// Texts of any origin (a Log entry holds what a LAN host sent) are written whole; bytes that are
// not UTF-8 become U+FFFD instead of ending the write.
inline std::string Dump(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace PageProtocol
