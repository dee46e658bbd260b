// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkAttributes.h"
#include "RtNetlink.h"

#include <cstring>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <vector>

namespace
{

// Type, flags, operational state, kind and device type as the kernel reported them for devices of
// each sort.
struct SRecorded {
    const char* pszWhat;
    unsigned short nType;
    unsigned int nFlags;
    unsigned char nOperState;
    const char* pszKind;
    NETCON_MEDIATYPE ExpectedType;
    NETCON_STATUS ExpectedStatus;
    const char* pszDeviceType = "";
};

constexpr unsigned int kUp = IFF_UP | IFF_BROADCAST | IFF_MULTICAST;
constexpr unsigned int kRunning = kUp | IFF_RUNNING | IFF_LOWER_UP;
constexpr unsigned int kPointToPoint = IFF_UP | IFF_POINTOPOINT | IFF_NOARP | IFF_MULTICAST;

const SRecorded kRecorded[] = {
    {"ppp0 dialled", ARPHRD_PPP, kPointToPoint | IFF_RUNNING | IFF_LOWER_UP, IF_OPER_UNKNOWN, "",
     NCM_PHONE, NCS_CONNECTED},
    {"ppp0 going down", ARPHRD_PPP, IFF_POINTOPOINT | IFF_NOARP, IF_OPER_DOWN, "", NCM_PHONE,
     NCS_DISCONNECTED},
    {"eth0 cabled", ARPHRD_ETHER, kRunning, IF_OPER_UP, "", NCM_LAN, NCS_CONNECTED},
    {"eth0 unplugged", ARPHRD_ETHER, kUp, IF_OPER_DOWN, "", NCM_LAN, NCS_MEDIA_DISCONNECTED},
    {"eth0 switched off", ARPHRD_ETHER, IFF_BROADCAST | IFF_MULTICAST, IF_OPER_DOWN, "", NCM_LAN,
     NCS_DISCONNECTED},
    {"wlan0 associating", ARPHRD_ETHER, kUp | IFF_LOWER_UP | IFF_DORMANT, IF_OPER_DORMANT, "",
     NCM_LAN, NCS_CONNECTING},
    {"wlan0 card pulled", ARPHRD_ETHER, kUp, IF_OPER_NOTPRESENT, "", NCM_LAN,
     NCS_HARDWARE_NOT_PRESENT},
    {"veth peer down", ARPHRD_ETHER, kUp, IF_OPER_LOWERLAYERDOWN, "veth", NCM_LAN,
     NCS_MEDIA_DISCONNECTED},
    {"bridge without ports", ARPHRD_ETHER, kRunning, IF_OPER_UNKNOWN, "bridge", NCM_BRIDGE,
     NCS_CONNECTED},
    {"tun without reader", ARPHRD_NONE, kPointToPoint, IF_OPER_DOWN, "tun", NCM_TUNNEL,
     NCS_MEDIA_DISCONNECTED},
    {"tap", ARPHRD_ETHER, kRunning, IF_OPER_UP, "tun", NCM_TUNNEL, NCS_CONNECTED},
    {"wireguard", ARPHRD_NONE, kPointToPoint | IFF_RUNNING | IFF_LOWER_UP, IF_OPER_UNKNOWN,
     "wireguard", NCM_TUNNEL, NCS_CONNECTED},
    {"vxlan", ARPHRD_ETHER, kRunning, IF_OPER_UNKNOWN, "vxlan", NCM_TUNNEL, NCS_CONNECTED},
    {"sit0", ARPHRD_SIT, IFF_NOARP, IF_OPER_DOWN, "sit", NCM_TUNNEL, NCS_DISCONNECTED},
    {"gre1", ARPHRD_IPGRE, IFF_UP | IFF_POINTOPOINT | IFF_NOARP | IFF_RUNNING, IF_OPER_UNKNOWN,
     "gre", NCM_TUNNEL, NCS_CONNECTED},
    {"wwan0 raw IP", ARPHRD_NONE, kPointToPoint | IFF_RUNNING | IFF_LOWER_UP, IF_OPER_UNKNOWN, "",
     NCM_PHONE, NCS_CONNECTED, "wwan"},
    {"wwan0 Ethernet framing", ARPHRD_ETHER, kRunning, IF_OPER_UP, "", NCM_PHONE, NCS_CONNECTED,
     "wwan"},
    {"wwan0 of the wwan subsystem", ARPHRD_NONE, kPointToPoint, IF_OPER_DOWN, "wwan", NCM_PHONE,
     NCS_MEDIA_DISCONNECTED},
    {"wlan0 with its device type", ARPHRD_ETHER, kRunning, IF_OPER_UP, "", NCM_LAN, NCS_CONNECTED,
     "wlan"},
    {"infiniband", ARPHRD_INFINIBAND, kRunning, IF_OPER_UP, "", NCM_NONE, NCS_CONNECTED},
    {"can0", ARPHRD_CAN, IFF_UP | IFF_NOARP | IFF_RUNNING, IF_OPER_UP, "can", NCM_NONE,
     NCS_CONNECTED},
};

TEST(LinkAttributesTest, RecordedDevicesHaveTheirMediaTypeAndStatus)
{
    for (const SRecorded& recorded : kRecorded) {
        SLinkAttributes link;
        link.nType = recorded.nType;
        link.nFlags = recorded.nFlags;
        link.nOperState = recorded.nOperState;
        link.strKind = recorded.pszKind;
        link.strDeviceType = recorded.pszDeviceType;
        EXPECT_EQ(link.MediaType(), recorded.ExpectedType) << recorded.pszWhat;
        EXPECT_EQ(link.Status(), recorded.ExpectedStatus) << recorded.pszWhat;
        EXPECT_FALSE(link.IsLoopback()) << recorded.pszWhat;
    }
}

TEST(LinkAttributesTest, LoopbackIsKnownByTypeOrFlag)
{
    SLinkAttributes link;
    link.nType = ARPHRD_LOOPBACK;
    EXPECT_TRUE(link.IsLoopback());
    link.nType = ARPHRD_ETHER;
    link.nFlags = IFF_UP | IFF_LOOPBACK;
    EXPECT_TRUE(link.IsLoopback());
}

std::wstring NameOf(const std::string& strName, const std::string& strAlias)
{
    SLinkAttributes link;
    link.strName = strName;
    link.strAlias = strAlias;
    return link.ConnectionName();
}

TEST(LinkAttributesTest, TheAliasNamesTheConnectionAndReadsAsUtf8)
{
    EXPECT_EQ(NameOf("ppp0", ""), L"ppp0");
    EXPECT_EQ(NameOf("ppp0", "My ISP"), L"My ISP");
    EXPECT_EQ(NameOf("eth0", "R\xC3\xA9seau \xE2\x82\xAC \xF0\x9F\x93\xA1"),
              L"R\u00E9seau \u20AC \U0001F4E1");
    // A replacement character that is really there stays one character.
    EXPECT_EQ(NameOf("eth0", "a\xEF\xBF\xBD"
                             "b"),
              L"a\uFFFDb");
}

TEST(LinkAttributesTest, BytesThatAreNotUtf8EachBecomeOneReplacement)
{
    EXPECT_EQ(NameOf("", "a\xFF"
                         "b"),
              L"a\uFFFDb");
    EXPECT_EQ(NameOf("", "cut \xE2\x82"), L"cut \uFFFD\uFFFD");
    EXPECT_EQ(NameOf("", "\xC0\xAF"), L"\uFFFD\uFFFD");           // overlong slash
    EXPECT_EQ(NameOf("", "\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD"); // a surrogate
    EXPECT_EQ(NameOf("", "\xC3(x"), L"\uFFFD(x");
}

// Builds an RTM_NEWLINK message attribute by attribute, as the kernel lays them out.
class CLinkMessage
{
public:
    explicit CLinkMessage(unsigned short nType = RTM_NEWLINK)
        : m_Buffer(NLMSG_SPACE(sizeof(ifinfomsg)))
    {
        Header().nlmsg_type = nType;
        Info().ifi_index = 7;
        Info().ifi_type = ARPHRD_ETHER;
        Info().ifi_flags = kRunning;
        Update();
    }

    void AddText(unsigned short nType, const std::string& strText)
    {
        Add(nType, strText.c_str(), strText.size() + 1);
    }

    void Add(unsigned short nType, const void* pData, std::size_t nLength)
    {
        const std::size_t nAt = m_Buffer.size();
        m_Buffer.resize(nAt + RTA_SPACE(nLength));
        auto* pAttribute = reinterpret_cast<rtattr*>(m_Buffer.data() + nAt);
        pAttribute->rta_type = nType;
        pAttribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(nLength));
        std::memcpy(RTA_DATA(pAttribute), pData, nLength);
        Update();
    }

    std::vector<char> Bytes() const { return m_Buffer; }
    nlmsghdr& Header() { return *reinterpret_cast<nlmsghdr*>(m_Buffer.data()); }
    void SetIndex(int nIndex) { Info().ifi_index = nIndex; }

private:
    ifinfomsg& Info() { return *static_cast<ifinfomsg*>(NLMSG_DATA(&Header())); }
    void Update() { Header().nlmsg_len = static_cast<unsigned>(m_Buffer.size()); }

    std::vector<char> m_Buffer;
};

TEST(RtNetlinkTest, ALinkMessageGivesIndexNameAliasStateAndKind)
{
    CLinkMessage message;
    message.AddText(IFLA_IFNAME, "br-lan");
    const unsigned char nOperState = IF_OPER_UP;
    message.Add(IFLA_OPERSTATE, &nOperState, 1);
    message.AddText(IFLA_IFALIAS, "Home");
    CLinkMessage kind;
    kind.AddText(IFLA_INFO_KIND, "bridge");
    const std::vector<char> kindBytes = kind.Bytes();
    const std::size_t nHeader = NLMSG_SPACE(sizeof(ifinfomsg));
    message.Add(IFLA_LINKINFO, kindBytes.data() + nHeader, kindBytes.size() - nHeader);

    SLinkAttributes link;
    std::vector<char> bytes = message.Bytes();
    ASSERT_TRUE(CRtNetlink::ParseLink(reinterpret_cast<const nlmsghdr*>(bytes.data()), link));
    EXPECT_EQ(link.nIndex, 7);
    EXPECT_EQ(link.strName, "br-lan");
    EXPECT_EQ(link.strAlias, "Home");
    EXPECT_EQ(link.nOperState, IF_OPER_UP);
    EXPECT_EQ(link.strKind, "bridge");
    EXPECT_EQ(link.MediaType(), NCM_BRIDGE);
    EXPECT_EQ(link.Status(), NCS_CONNECTED);
}

TEST(RtNetlinkTest, OtherMessagesAndBrokenAttributesAreNotRead)
{
    CLinkMessage address(RTM_NEWADDR);
    std::vector<char> bytes = address.Bytes();
    SLinkAttributes link;
    EXPECT_FALSE(CRtNetlink::ParseLink(reinterpret_cast<const nlmsghdr*>(bytes.data()), link));

    CLinkMessage cut;
    cut.Header().nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg)) - 1;
    bytes = cut.Bytes();
    EXPECT_FALSE(CRtNetlink::ParseLink(reinterpret_cast<const nlmsghdr*>(bytes.data()), link));

    // A name without its NUL ends with the attribute; a length past the message stops the reading.
    CLinkMessage unterminated;
    unterminated.Add(IFLA_IFNAME, "eth1XYZ", 4);
    unterminated.AddText(IFLA_IFALIAS, "lost");
    bytes = unterminated.Bytes();
    auto* pLastAttribute = reinterpret_cast<rtattr*>(bytes.data() + bytes.size() - RTA_SPACE(5));
    pLastAttribute->rta_len = 200;
    ASSERT_TRUE(CRtNetlink::ParseLink(reinterpret_cast<const nlmsghdr*>(bytes.data()), link));
    EXPECT_EQ(link.strName, "eth1");
    EXPECT_EQ(link.strAlias, "");
}

} // namespace

// A link as the kernel tells it, with its parent device and permanent address where given.
SLinkAttributes Told(int nIndex, const char* pszName, const char* pszParent,
                     const std::vector<unsigned char>& permanent)
{
    CLinkMessage message;
    message.SetIndex(nIndex);
    message.AddText(IFLA_IFNAME, pszName);
    if (*pszParent != '\0')
        message.AddText(IFLA_PARENT_DEV_NAME, pszParent);
    if (!permanent.empty())
        message.Add(IFLA_PERM_ADDRESS, permanent.data(), permanent.size());
    SLinkAttributes link;
    const std::vector<char> bytes = message.Bytes();
    EXPECT_TRUE(CRtNetlink::ParseLink(reinterpret_cast<const nlmsghdr*>(bytes.data()), link));
    return link;
}

// Whether a link under another name is the shared one's device: the same link renamed (its
// index), or a new link of the same parent device (a USB modem's interface) or permanent address.
// PPP and veth links tell neither, and a new one of those is another device.
TEST(RtNetlinkTest, ALinkUnderAnotherNameIsTheSameDeviceByIndexParentOrPermanentAddress)
{
    const SLinkAttributes wwan0 = Told(7, "wwan0", "1-1:1.4", {});
    EXPECT_EQ(wwan0.strParentDevice, "1-1:1.4");
    EXPECT_TRUE(wwan0.IsSameDeviceAs(Told(7, "wwp0s20u1i4", "", {})));
    EXPECT_TRUE(wwan0.IsSameDeviceAs(Told(9, "wwan1", "1-1:1.4", {})));
    EXPECT_FALSE(wwan0.IsSameDeviceAs(Told(9, "wwan1", "1-2:1.4", {})));

    const SLinkAttributes usb0 = Told(11, "usb0", "", {0x02, 0x1e, 0x10, 0x1f, 0x00, 0x00});
    EXPECT_EQ(usb0.strPermanentAddress, "021e101f0000");
    EXPECT_TRUE(
        usb0.IsSameDeviceAs(Told(12, "enx021e101f0000", "", {0x02, 0x1e, 0x10, 0x1f, 0, 0})));
    EXPECT_FALSE(usb0.IsSameDeviceAs(Told(12, "usb1", "", {0x02, 0x1e, 0x10, 0x1f, 0, 1})));

    EXPECT_FALSE(Told(13, "ppp0", "", {}).IsSameDeviceAs(Told(14, "ppp1", "", {})));
}
