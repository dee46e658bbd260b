// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlProtocol.h"

#include <climits>
#include <cstring>

namespace ControlProtocol
{

namespace
{

const char* const kMediaTypeTexts[] = {"None",       "Direct cable", "ISDN",           "Lan",
                                       "Dialup",     "Tunnel",       "Point to Point", "Bridge",
                                       "Shared Lan", "Shared Dialup"};
const char* const kStatusTexts[] = {"Disconnected",
                                    "Connecting",
                                    "Connected",
                                    "Disconnecting",
                                    "Hardware not present",
                                    "Hardware disabled",
                                    "Hardware malfunction",
                                    "Media disconnected",
                                    "Authenicating",
                                    "Authentication succeeded",
                                    "Authenication failed"};

template <std::size_t N>
std::string TextOf(const char* const (&texts)[N], int nCode)
{
    // As unsigned numbers, so that negative codes fall beyond the table.
    return static_cast<unsigned>(nCode) < N ? texts[nCode] : kUnknown;
}

bool Contains(const std::string& strText, const char* pszWord)
{
    return strText.find(pszWord) != std::string::npos;
}

bool IsAtoiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The reply reader's search: from one past the cursor, -1 when not found.
int FindAfter(const std::string& strText, char c, int nCursor)
{
    const auto nStart = static_cast<std::size_t>(nCursor + 1);
    if (nStart >= strText.size())
        return -1;
    const std::size_t nFound = strText.find(c, nStart);
    return nFound == std::string::npos ? -1 : static_cast<int>(nFound);
}

// The text strictly between two positions.
std::string FieldBetween(const std::string& strText, int nFrom, int nTo)
{
    if (nTo <= nFrom + 1)
        return std::string();
    return strText.substr(static_cast<std::size_t>(nFrom + 1),
                          static_cast<std::size_t>(nTo - nFrom - 1));
}

// One entry from the cursor on; false when the entry is not complete.
bool ReadEntry(const std::string& strReply, int& nCursor, SConnectionEntry& entry)
{
    int nPositions[5];
    nPositions[0] = FindAfter(strReply, kEntryOpen, nCursor);
    for (int i = 1; i < 5; ++i) {
        if (nPositions[i - 1] < 0)
            return false;
        nPositions[i] = FindAfter(strReply, kSeparator, nPositions[i - 1]);
    }
    if (nPositions[4] < 0)
        return false;
    entry.strName = FieldBetween(strReply, nPositions[0], nPositions[1]);
    entry.strStatus = FieldBetween(strReply, nPositions[1], nPositions[2]);
    entry.strType = FieldBetween(strReply, nPositions[2], nPositions[3]);
    entry.bShared = FieldBetween(strReply, nPositions[3], nPositions[4]) == kTrue;
    nCursor = nPositions[4];
    return true;
}

} // namespace

std::string TextOfReceived(const char* pBuffer, int nBytes)
{
    if (pBuffer == nullptr || nBytes <= 0)
        return std::string();
    const auto nLength = static_cast<std::size_t>(nBytes);
    const void* pNul = std::memchr(pBuffer, '\0', nLength);
    return std::string(pBuffer, pNul != nullptr ? static_cast<const char*>(pNul) - pBuffer
                                                : static_cast<std::ptrdiff_t>(nLength));
}

std::string CommandPart(const std::string& strRequest)
{
    const std::size_t nColon = strRequest.find(kSeparator);
    return nColon == std::string::npos ? strRequest : strRequest.substr(nColon + 1);
}

ECommand RecogniseCommand(const std::string& strCommandPart)
{
    if (strCommandPart == kHello)
        return ECommand::Greeting;
    if (strCommandPart == kConnectionList)
        return ECommand::ConnectionList;
    if (Contains(strCommandPart, kShare))
        return ECommand::Share;
    if (Contains(strCommandPart, kUnshare))
        return ECommand::Unshare;
    if (Contains(strCommandPart, kConnect))
        return ECommand::Connect;
    if (Contains(strCommandPart, kDisconnect))
        return ECommand::Disconnect;
    if (strCommandPart == kGoodbye)
        return ECommand::Farewell;
    return ECommand::Unknown;
}

int ReadIndex(const std::string& strCommandPart)
{
    return ReadNumber(CommandPart(strCommandPart));
}

int ReadNumber(const std::string& strText)
{
    std::size_t i = 0;
    while (i < strText.size() && IsAtoiSpace(strText[i]))
        ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-'))
        bNegative = strText[i++] == '-';
    long long nValue = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        // Past int's range the value only saturates, so it cannot overflow here.
        if (nValue <= static_cast<long long>(INT_MAX) + 1)
            nValue = nValue * 10 + (strText[i] - '0');
    }
    if (bNegative)
        nValue = -nValue;
    if (nValue > INT_MAX)
        return INT_MAX;
    if (nValue < INT_MIN)
        return INT_MIN;
    return static_cast<int>(nValue);
}

std::string BuildRequest(const std::string& strHost, const std::string& strCommand)
{
    return strHost + kSeparator + strCommand;
}

std::string ShareCommand(int nIndex)
{
    return std::string(kShare) + kSeparator + std::to_string(nIndex);
}

std::string UnshareCommand(int nIndex)
{
    return std::string(kUnshare) + kSeparator + std::to_string(nIndex);
}

std::string BuildReply(const std::string& strHost, const std::string& strWord)
{
    return strHost + kSeparator + strWord;
}

std::string BuildConnectionEntry(const std::string& strName, const std::string& strStatus,
                                 const std::string& strType, bool bShared)
{
    const char* pszShared = bShared ? kTrue : kFalse;
    std::string strEntry;
    strEntry.reserve(strName.size() + strStatus.size() + strType.size() + std::strlen(pszShared) +
                     6);
    strEntry += kEntryOpen;
    for (const std::string* pField : {&strName, &strStatus, &strType}) {
        strEntry += *pField;
        strEntry += kSeparator;
    }
    strEntry += pszShared;
    strEntry += kSeparator;
    strEntry += kEntryClose;
    return strEntry;
}

std::string BuildConnectionListReply(const std::string& strHost, int nConnections,
                                     const std::string& strEntries)
{
    return strHost + kSeparator + std::to_string(nConnections) + kSeparator + strEntries;
}

bool ReadConnectionListReply(const std::string& strReply, std::vector<SConnectionEntry>& entries)
{
    entries.clear();
    const int nServerEnd = FindAfter(strReply, kSeparator, -1);
    const int nCountEnd = FindAfter(strReply, kSeparator, nServerEnd);
    const int nCount = ReadNumber(FieldBetween(strReply, nServerEnd, nCountEnd));
    if (nCount < kMinListedConnections || nCount > kMaxListedConnections)
        return false;
    int nCursor = nCountEnd;
    SConnectionEntry entry;
    for (int i = 0; i < nCount && ReadEntry(strReply, nCursor, entry); ++i)
        entries.push_back(entry);
    return true;
}

std::string StatusText(int nStatus)
{
    return TextOf(kStatusTexts, nStatus);
}

std::string MediaTypeText(int nMediaType)
{
    return TextOf(kMediaTypeTexts, nMediaType);
}

} // namespace ControlProtocol
