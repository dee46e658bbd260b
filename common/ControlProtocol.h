// SPDX-License-Identifier: GPL-3.0-or-later
// The control protocol between Tarnlow Client and Tarnlow Server over TCP/IPv4: every word and
// format of the wire, for both programs.
//
// One TCP connection carries one request and at most one reply. A message is what one send puts
// on the connection: no terminator, no length prefix, no NUL after the text. Texts are 8-bit and
// unescaped; words compare exactly and case-sensitively.
//
//   request  = host ":" command                       ; one send, at most 2048 bytes
//   command  = "Hello"                                ; greeting
//            | "ConnectionList"                       ; connection list
//            | "Share:" index                         ; share a connection
//            | "Unshare:" index                       ; stop sharing a connection
//            | <text containing "Connect">            ; acknowledged, nothing done
//            | <text containing "Disconnect">         ; acknowledged, nothing done
//            | "Goodbye"                              ; farewell, not answered
//   index    = decimal number, read as atoi reads it
//
//   reply    = host ":" ( "Hello" | "Okay" | "Failed" | "Unknown" | list )
//   list     = count ":" *entry                       ; count = the number of entries
//   entry    = "(" name ":" status ":" type ":" shared ":" ")"
//   status   = "Disconnected" | "Connecting" | "Connected" | "Disconnecting"
//            | "Hardware not present" | "Hardware disabled" | "Hardware malfunction"
//            | "Media disconnected" | "Authenicating" | "Authentication succeeded"
//            | "Authenication failed" | "Unknown"           ; NETCON_STATUS 0 to 10
//   type     = "None" | "Direct cable" | "ISDN" | "Lan" | "Dialup" | "Tunnel"
//            | "Point to Point" | "Bridge" | "Shared Lan" | "Shared Dialup"
//            | "Unknown"                                  ; NETCON_MEDIATYPE 0 to 9
//   shared   = "True" | "False"
//
// A status or type code outside its table (-1, a connection whose properties cannot be read) is
// "Unknown". The misspellings are the system's own words, kept as they go on the wire.
//
// The command part is the text after the request's first colon, or the whole request without
// one. The server takes the first of these tests that holds: equal to "Hello"; equal to
// "ConnectionList"; contains "Share"; contains "Unshare"; contains "Connect"; contains
// "Disconnect"; equal to "Goodbye"; otherwise the request is unknown and answered host ":Unknown".
// So "Unshare:1" is a stop-sharing request (it holds "share", not "Share"), and any command part
// other than "ConnectionList" that holds "Connect", "ConnectionList2" say, is a connect request.
#pragma once

#include <string>
#include <vector>

namespace ControlProtocol
{

inline constexpr char kSeparator = ':';
inline constexpr char kEntryOpen = '(';
inline constexpr char kEntryClose = ')';

inline constexpr const char* kHello = "Hello";
inline constexpr const char* kConnectionList = "ConnectionList";
inline constexpr const char* kShare = "Share";
inline constexpr const char* kUnshare = "Unshare";
inline constexpr const char* kConnect = "Connect";
inline constexpr const char* kDisconnect = "Disconnect";
inline constexpr const char* kGoodbye = "Goodbye";

inline constexpr const char* kOkay = "Okay";
inline constexpr const char* kFailed = "Failed";
inline constexpr const char* kUnknown = "Unknown";
inline constexpr const char* kTrue = "True";
inline constexpr const char* kFalse = "False";

inline constexpr int kRequestBytes = 2048;   // the server's one receive
inline constexpr int kReceiveBytes = 1024;   // one receive of the client's
inline constexpr int kMaxReplyBytes = 65536; // what the client reads until the server closes
inline constexpr int kDefaultPort = 10000;   // where the server listens unless told otherwise
inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 65535;
inline constexpr int kMinListedConnections = 1;
inline constexpr int kMaxListedConnections = 10;

enum class ECommand {
    Greeting,
    ConnectionList,
    Share,
    Unshare,
    Connect,
    Disconnect,
    Farewell,
    Unknown,
};

// The text of received bytes: up to the first NUL, and never past the bytes received.
std::string TextOfReceived(const char* pBuffer, int nBytes);

std::string CommandPart(const std::string& strRequest);
ECommand RecogniseCommand(const std::string& strCommandPart);
// The index of a share or stop-sharing command part: the number after its first colon.
int ReadIndex(const std::string& strCommandPart);
// As atoi reads a number, except that numbers beyond int's range give its nearest end.
int ReadNumber(const std::string& strText);

// A TCP port: a number outside 1 to 65535 is refused, never wrapped round to another port.
constexpr bool IsPortInRange(int nPort)
{
    return nPort >= kMinPort && nPort <= kMaxPort;
}

std::string BuildRequest(const std::string& strHost, const std::string& strCommand);
std::string ShareCommand(int nIndex);
std::string UnshareCommand(int nIndex);

std::string BuildReply(const std::string& strHost, const std::string& strWord);
std::string BuildConnectionEntry(const std::string& strName, const std::string& strStatus,
                                 const std::string& strType, bool bShared);
std::string BuildConnectionListReply(const std::string& strHost, int nConnections,
                                     const std::string& strEntries);

// The words of a connection's status and media type codes.
std::string StatusText(int nStatus);
std::string MediaTypeText(int nMediaType);

struct SConnectionEntry {
    std::string strName;
    std::string strStatus;
    std::string strType;
    bool bShared = false; // the shared field is "True", exactly
};

// Reads a connection list reply as the client shows it. False, with no entries, when the count
// lies outside 1 to 10; otherwise the complete entries, at most count of them: a short or cut
// list gives fewer, never entries of junk.
bool ReadConnectionListReply(const std::string& strReply, std::vector<SConnectionEntry>& entries);

} // namespace ControlProtocol
