// SPDX-License-Identifier: GPL-3.0-or-later
#include "RtNetlink.h"

#include "NetDeviceType_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

// Big enough for any one link message with all its statistics.
constexpr std::size_t kReceiveBuffer = 64 * 1024;

struct SLinkRequest {
    nlmsghdr Header;
    ifinfomsg Info;
};

class CNetlinkSocket
{
public:
    CNetlinkSocket() : m_nFd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~CNetlinkSocket()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    CNetlinkSocket(const CNetlinkSocket&) = delete;
    CNetlinkSocket& operator=(const CNetlinkSocket&) = delete;

    int Fd() const { return m_nFd; }

private:
    int m_nFd;
};

std::string AttributeText(const rtattr* pAttribute)
{
    const auto* pText = static_cast<const char*>(RTA_DATA(pAttribute));
    const std::size_t nLength = RTA_PAYLOAD(pAttribute);
    return std::string(pText, strnlen(pText, nLength));
}

void ParseLinkInfo(const rtattr* pLinkInfo, SLinkAttributes& link)
{
    int nLength = static_cast<int>(RTA_PAYLOAD(pLinkInfo));
    for (const auto* pAttribute = static_cast<const rtattr*>(RTA_DATA(pLinkInfo));
         RTA_OK(pAttribute, nLength); pAttribute = RTA_NEXT(pAttribute, nLength)) {
        if (pAttribute->rta_type == IFLA_INFO_KIND)
            link.strKind = AttributeText(pAttribute);
    }
}

// An address's bytes as hexadecimal text.
std::string HexText(const rtattr* pAttribute)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto* pBytes = static_cast<const unsigned char*>(RTA_DATA(pAttribute));
    std::string strText;
    for (std::size_t i = 0; i < RTA_PAYLOAD(pAttribute); ++i)
        strText += {kDigits[pBytes[i] >> 4], kDigits[pBytes[i] & 0xF]};
    return strText;
}

void ParseAttribute(const rtattr* pAttribute, SLinkAttributes& link)
{
    switch (pAttribute->rta_type) {
    case IFLA_IFNAME:
        link.strName = AttributeText(pAttribute);
        break;
    case IFLA_IFALIAS:
        link.strAlias = AttributeText(pAttribute);
        break;
    case IFLA_OPERSTATE:
        if (RTA_PAYLOAD(pAttribute) >= 1)
            link.nOperState = *static_cast<const unsigned char*>(RTA_DATA(pAttribute));
        break;
    case IFLA_LINKINFO:
        ParseLinkInfo(pAttribute, link);
        break;
    case IFLA_PERM_ADDRESS:
        link.strPermanentAddress = HexText(pAttribute);
        break;
    case IFLA_PARENT_DEV_NAME:
        link.strParentDevice = AttributeText(pAttribute);
        break;
    default:
        break;
    }
}

bool SendRequest(int nFd, int nIndex)
{
    SLinkRequest request{};
    request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.Header.nlmsg_type = RTM_GETLINK;
    request.Header.nlmsg_flags = NLM_F_REQUEST | (nIndex == 0 ? NLM_F_DUMP : 0);
    request.Header.nlmsg_seq = 1;
    request.Info.ifi_family = AF_UNSPEC;
    request.Info.ifi_index = nIndex;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return ::sendto(nFd, &request, request.Header.nlmsg_len, 0,
                    reinterpret_cast<const sockaddr*>(&kernel),
                    sizeof(kernel)) == static_cast<ssize_t>(request.Header.nlmsg_len);
}

enum class EReply { More, Done, Failed };

EReply ReadMessages(const char* pBuffer, std::size_t nReceived, std::vector<SLinkAttributes>& links)
{
    std::size_t nOffset = 0;
    while (nReceived - nOffset >= sizeof(nlmsghdr)) {
        const auto* pMessage = reinterpret_cast<const nlmsghdr*>(pBuffer + nOffset);
        if (pMessage->nlmsg_len < sizeof(nlmsghdr) || pMessage->nlmsg_len > nReceived - nOffset)
            return EReply::Failed;
        if (pMessage->nlmsg_type == NLMSG_DONE)
            return EReply::Done;
        if (pMessage->nlmsg_type == NLMSG_ERROR)
            return EReply::Failed;
        SLinkAttributes link;
        if (CRtNetlink::ParseLink(pMessage, link)) {
            link.strDeviceType = NetDeviceType(link.strName);
            links.push_back(link);
        }
        // A request for one interface is answered by one message, without a closing one.
        if ((pMessage->nlmsg_flags & NLM_F_MULTI) == 0)
            return EReply::Done;
        nOffset = std::min(nReceived, nOffset + NLMSG_ALIGN(pMessage->nlmsg_len));
    }
    return EReply::More;
}

} // namespace

bool CRtNetlink::ReadLinks(std::vector<SLinkAttributes>& links)
{
    links.clear();
    return Ask(0, links);
}

bool CRtNetlink::ReadLink(int nIndex, SLinkAttributes& link)
{
    std::vector<SLinkAttributes> links;
    if (nIndex <= 0 || !Ask(nIndex, links) || links.size() != 1)
        return false;
    link = links.front();
    return true;
}

bool CRtNetlink::ReadLinkNamed(const std::string& strName, SLinkAttributes& link)
{
    const int nIndex = IndexOf(strName);
    // The name may have gone to another link between the two questions.
    return nIndex != 0 && ReadLink(nIndex, link) && link.strName == strName;
}

int CRtNetlink::IndexOf(const std::string& strName)
{
    return static_cast<int>(::if_nametoindex(strName.c_str()));
}

bool CRtNetlink::ParseLink(const nlmsghdr* pMessage, SLinkAttributes& link)
{
    if (pMessage->nlmsg_type != RTM_NEWLINK ||
        pMessage->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
        return false;
    const auto* pInfo = static_cast<const ifinfomsg*>(NLMSG_DATA(pMessage));
    link = SLinkAttributes{};
    link.nIndex = pInfo->ifi_index;
    link.nType = pInfo->ifi_type;
    link.nFlags = pInfo->ifi_flags;
    int nLength = static_cast<int>(IFLA_PAYLOAD(pMessage));
    for (const rtattr* pAttribute = IFLA_RTA(pInfo); RTA_OK(pAttribute, nLength);
         pAttribute = RTA_NEXT(pAttribute, nLength))
        ParseAttribute(pAttribute, link);
    return true;
}

bool CRtNetlink::Ask(int nIndex, std::vector<SLinkAttributes>& links)
{
    CNetlinkSocket socket;
    if (socket.Fd() < 0 || !SendRequest(socket.Fd(), nIndex))
        return false;
    std::vector<char> buffer(kReceiveBuffer);
    for (;;) {
        const ssize_t nReceived = ::recv(socket.Fd(), buffer.data(), buffer.size(), 0);
        if (nReceived < 0 && errno == EINTR)
            continue;
        if (nReceived <= 0)
            return false;
        const EReply reply =
            ReadMessages(buffer.data(), static_cast<std::size_t>(nReceived), links);
        if (reply != EReply::More)
            return reply == EReply::Done;
    }
}
