// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a connection list reply: the reader never reads past the reply, never gives more
// entries than the count or more than ten, and never a field that spans a separator. Bytes that
// form a well-made list (the host, then fields split at NULs) read back exactly as written.
#include "ControlProtocol.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>

using namespace ControlProtocol;

namespace
{

void CheckAnyReply(const std::string& strReply)
{
    std::vector<SConnectionEntry> entries{SConnectionEntry{"stale", "", "", true}};
    if (!ReadConnectionListReply(strReply, entries)) {
        FUZZ_CHECK(entries.empty());
        return;
    }
    FUZZ_CHECK(entries.size() <= static_cast<std::size_t>(kMaxListedConnections));
    for (const SConnectionEntry& entry : entries) {
        for (const std::string* pField : {&entry.strName, &entry.strStatus, &entry.strType}) {
            FUZZ_CHECK(pField->find(kSeparator) == std::string::npos);
            FUZZ_CHECK(pField->size() < strReply.size());
        }
    }
}

// Fields of the input split at NULs, with separators taken out so that they stay fields.
std::vector<std::string> Fields(const std::string& strInput)
{
    std::vector<std::string> fields(1);
    for (const char c : strInput) {
        if (c == '\0')
            fields.emplace_back();
        else if (c != kSeparator)
            fields.back() += c;
    }
    return fields;
}

void CheckRoundTrip(const std::string& strInput)
{
    const std::vector<std::string> fields = Fields(strInput);
    const std::size_t nEntries =
        std::min<std::size_t>((fields.size() - 1) / 3, kMaxListedConnections);
    if (nEntries < static_cast<std::size_t>(kMinListedConnections))
        return;
    std::vector<SConnectionEntry> written;
    std::string strEntries;
    for (std::size_t i = 0; i < nEntries; ++i) {
        const SConnectionEntry entry{fields[1 + 3 * i], fields[2 + 3 * i], fields[3 + 3 * i],
                                     fields[3 * i].size() % 2 == 1};
        written.push_back(entry);
        strEntries +=
            BuildConnectionEntry(entry.strName, entry.strStatus, entry.strType, entry.bShared);
    }
    const std::string strReply =
        BuildConnectionListReply(fields[0], static_cast<int>(nEntries), strEntries);
    std::vector<SConnectionEntry> read;
    FUZZ_CHECK(ReadConnectionListReply(strReply, read));
    FUZZ_CHECK(read.size() == written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        FUZZ_CHECK(read[i].strName == written[i].strName);
        FUZZ_CHECK(read[i].strStatus == written[i].strStatus);
        FUZZ_CHECK(read[i].strType == written[i].strType);
        FUZZ_CHECK(read[i].bShared == written[i].bShared);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strInput(reinterpret_cast<const char*>(pData), nSize);
    CheckAnyReply(strInput);
    CheckRoundTrip(strInput);
    return 0;
}
