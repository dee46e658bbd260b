// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a received request: its text, its command part, the command recognised and the
// index read must be what the grammar says, whatever the bytes.
#include "ControlProtocol.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace ControlProtocol;

namespace
{

bool Contains(const std::string& strText, const char* pszWord)
{
    return strText.find(pszWord) != std::string::npos;
}

// The C library's reading of a number, brought into int's range.
int ReferenceNumber(const std::string& strText)
{
    errno = 0;
    const long long nValue = std::strtoll(strText.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(nValue, INT_MIN, INT_MAX));
}

void CheckRecognition(const std::string& strPart, ECommand command)
{
    switch (command) {
    case ECommand::Greeting:
        FUZZ_CHECK(strPart == kHello);
        return;
    case ECommand::ConnectionList:
        FUZZ_CHECK(strPart == kConnectionList);
        return;
    case ECommand::Share:
        FUZZ_CHECK(Contains(strPart, kShare));
        return;
    case ECommand::Unshare:
        FUZZ_CHECK(Contains(strPart, kUnshare) && !Contains(strPart, kShare));
        return;
    case ECommand::Connect:
        FUZZ_CHECK(Contains(strPart, kConnect) && !Contains(strPart, kShare) &&
                   !Contains(strPart, kUnshare) && strPart != kConnectionList);
        return;
    case ECommand::Disconnect:
        FUZZ_CHECK(Contains(strPart, kDisconnect) && !Contains(strPart, kConnect) &&
                   !Contains(strPart, kShare) && !Contains(strPart, kUnshare));
        return;
    case ECommand::Farewell:
        FUZZ_CHECK(strPart == kGoodbye);
        return;
    case ECommand::Unknown:
        FUZZ_CHECK(!Contains(strPart, kShare) && !Contains(strPart, kUnshare) &&
                   !Contains(strPart, kConnect) && !Contains(strPart, kDisconnect) &&
                   strPart != kHello && strPart != kGoodbye);
        return;
    }
    FUZZ_CHECK(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const auto* pBytes = reinterpret_cast<const char*>(pData);
    const int nReceived = static_cast<int>(std::min<std::size_t>(nSize, kRequestBytes));
    const std::string strRequest = TextOfReceived(pBytes, nReceived);
    FUZZ_CHECK(strRequest.size() <= static_cast<std::size_t>(nReceived));
    FUZZ_CHECK(strRequest.find('\0') == std::string::npos);
    FUZZ_CHECK(std::memcmp(strRequest.data(), pBytes, strRequest.size()) == 0);

    const std::string strPart = CommandPart(strRequest);
    const std::size_t nColon = strRequest.find(kSeparator);
    FUZZ_CHECK(strPart ==
               (nColon == std::string::npos ? strRequest : strRequest.substr(nColon + 1)));
    CheckRecognition(strPart, RecogniseCommand(strPart));

    FUZZ_CHECK(ReadNumber(strRequest) == ReferenceNumber(strRequest));
    FUZZ_CHECK(ReadIndex(strPart) == ReferenceNumber(CommandPart(strPart)));
    return 0;
}
