// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as what the machine's own sharing service reads from the kernel, by the first byte
// modulo 4: a link message of the routing socket (0), a listing of the nftables table (1), a batch
// of nftables' notifications (2) or of IPv4 forwarding's (3), as its watch receives them. Nothing
// read may come from beyond the bytes, and a listing that the service accepts must name an
// interface that the table's own rules would carry back unchanged.
#include "FuzzCheck.h"
#include "NftSharingTable.h"
#include "RtNetlink.h"
#include "SharingWatch.h"

#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <string>
#include <vector>

namespace
{

void CheckLinkMessage(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < sizeof(nlmsghdr))
        return;
    // Aligned as the kernel's replies are, with a length that stays within the bytes received,
    // which the reader checks before it parses.
    std::vector<std::uint32_t> aligned((nSize + 3) / 4);
    std::memcpy(aligned.data(), pData, nSize);
    auto* pMessage = reinterpret_cast<nlmsghdr*>(aligned.data());
    pMessage->nlmsg_len = std::min<std::uint32_t>(pMessage->nlmsg_len, nSize);
    SLinkAttributes link;
    if (!CRtNetlink::ParseLink(pMessage, link))
        return;
    FUZZ_CHECK(link.strName.size() < nSize && link.strAlias.size() < nSize &&
               link.strKind.size() < nSize);
    FUZZ_CHECK(link.MediaType() >= NCM_NONE && link.MediaType() <= NCM_SHAREDACCESSHOST_RAS);
    FUZZ_CHECK(link.Status() >= NCS_DISCONNECTED && link.Status() <= NCS_CREDENTIALS_REQUIRED);
    FUZZ_CHECK(link.ConnectionName().size() <=
               (link.strAlias.empty() ? link.strName : link.strAlias).size());
}

void CheckListing(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strListing(reinterpret_cast<const char*>(pData), nSize);
    CNftSharingTable::SState state;
    const bool bOurs = CNftSharingTable::ParseListing(strListing, state);
    FUZZ_CHECK(bOurs == state.bPresent);
    if (!bOurs)
        return;
    FUZZ_CHECK(!state.strInterface.empty());
    FUZZ_CHECK(strListing.find('"' + state.strInterface + '"') != std::string::npos);
    if (!CNftSharingTable::IsSafeInterfaceName(state.strInterface))
        return;
    CNftSharingTable::SState again;
    FUZZ_CHECK(CNftSharingTable::ParseListing(
        CNftSharingTable::ReplaceCommands(state.strInterface, state.bForwardingWasOn), again));
    FUZZ_CHECK(again.strInterface == state.strInterface);
    FUZZ_CHECK(again.bForwardingWasOn == state.bForwardingWasOn);
}

// A batch as a socket's receive leaves it, whatever lengths its messages claim: the walk stays
// within it, and the program a transaction names is one of its bytes' runs.
void CheckNotifications(const std::uint8_t* pData, std::size_t nSize, bool bNftables)
{
    // In a buffer of the bytes' own size, as the receive's, aligned as the socket's buffer is.
    std::vector<std::uint32_t> aligned((nSize + 3) / 4);
    if (nSize > 0)
        std::memcpy(aligned.data(), pData, nSize);
    const auto* pBuffer = reinterpret_cast<const char*>(aligned.data());
    CSharingWatch::SChange change;
    if (bNftables)
        CSharingWatch::ReadNftablesMessages(pBuffer, nSize, {}, change);
    else
        CSharingWatch::ReadNetconfMessages(pBuffer, nSize, change);
    FUZZ_CHECK(change.strProgram.size() < nSize || change.strProgram.empty());
    FUZZ_CHECK(!bNftables || change.strProgram.empty() || change.bRuleset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize == 0)
        return 0;
    switch (pData[0] % 4) {
    case 0:
        CheckLinkMessage(pData + 1, nSize - 1);
        break;
    case 1:
        CheckListing(pData + 1, nSize - 1);
        break;
    default:
        CheckNotifications(pData + 1, nSize - 1, pData[0] % 4 == 2);
        break;
    }
    return 0;
}
