// SPDX-License-Identifier: GPL-3.0-or-later
// The server's settings as a file's text gives them: what is used, and what is said and left out.
#include "ServerSettings.h"

#include <cstring>
#include <gtest/gtest.h>

namespace
{

const std::string kPath = "/etc/tarnlow/tarnlow.conf";

TEST(ServerSettingsTest, CommentsBlankLinesAndSpacesAroundAKeyAndValueAreRead)
{
    EXPECT_EQ(CServerSettings::FromText("", kPath).Port(), 10000);
    const CServerSettings settings = CServerSettings::FromText(
        "# Tarnlow Server's settings\n\n   \t\nport = 10500   # the LAN's clients\r\n", kPath);
    EXPECT_EQ(settings.Port(), 10500);
    EXPECT_TRUE(settings.Warnings().empty());
    // The later of two holds; a setting without a line break at the end is read.
    EXPECT_EQ(CServerSettings::FromText("port=10500\nport\t=\t10600", kPath).Port(), 10600);
}

// Each line that cannot be used is one warning that names it, and the setting keeps what it had.
TEST(ServerSettingsTest, ALineThatCannotBeUsedIsNamedAndLeftOut)
{
    const CServerSettings settings =
        CServerSettings::FromText("port = 10500\nprot = 10\nport = 0\nport = 65536\nport = 12ab\n"
                                  "port = -1\nport =\nport\n= 5\n",
                                  kPath);
    EXPECT_EQ(settings.Port(), 10500);
    const std::string strPort = "the port must be a number from 1 to 65535";
    EXPECT_EQ(
        settings.Warnings(),
        (std::vector<std::string>{
            "Line 2 of " + kPath + " (\"prot = 10\") is left out: there is no setting \"prot\"",
            "Line 3 of " + kPath + " (\"port = 0\") is left out: " + strPort,
            "Line 4 of " + kPath + " (\"port = 65536\") is left out: " + strPort,
            "Line 5 of " + kPath + " (\"port = 12ab\") is left out: " + strPort,
            "Line 6 of " + kPath + " (\"port = -1\") is left out: " + strPort,
            "Line 7 of " + kPath + " (\"port =\") is left out: " + strPort,
            "Line 8 of " + kPath + " (\"port\") is left out: it is not \"key = value\"",
            "Line 9 of " + kPath + " (\"= 5\") is left out: there is no setting \"\""}));
}

// The page's port and whether it is served: a port that browsers refuse, or the protocol's own, is
// named; the page then gives way to the protocol.
TEST(ServerSettingsTest, ThePagesSettingsAreReadAndItsPortNeverMeetsTheProtocols)
{
    const CServerSettings defaults = CServerSettings::FromText("", kPath);
    EXPECT_TRUE(defaults.PageOn());
    EXPECT_EQ(defaults.PagePort(), 10001);
    CServerSettings settings = CServerSettings::FromText(
        "page-port = 8081\npage = off\npage = maybe\npage-port = 10080\npage-port = x\n", kPath);
    EXPECT_FALSE(settings.PageOn());
    EXPECT_EQ(settings.PagePort(), 8081);
    EXPECT_EQ(
        settings.Warnings(),
        (std::vector<std::string>{"Line 3 of " + kPath +
                                      " (\"page = maybe\") is left out: the page is \"on\" or "
                                      "\"off\"",
                                  "Line 4 of " + kPath +
                                      " (\"page-port = 10080\") is left out: browsers refuse to "
                                      "open a page at port 10080",
                                  "Line 5 of " + kPath +
                                      " (\"page-port = x\") is left out: the port must be a "
                                      "number from 1 to 65535"}));
    const std::string strShared = "the desktop protocol and the page cannot share a port: the page "
                                  "is at port ";
    settings = CServerSettings::FromText("page-port = 10500\nport = 10500\n", kPath);
    EXPECT_EQ(settings.Port(), 10500);
    EXPECT_EQ(settings.PagePort(), 10001);
    EXPECT_EQ(settings.Warnings(),
              std::vector<std::string>{"Line 1 of " + kPath +
                                       " (\"page-port = 10500\"): " + strShared + "10001"});
    settings = CServerSettings::FromText("port = 10001\n", kPath);
    EXPECT_EQ(settings.PagePort(), 10002);
    EXPECT_EQ(settings.Warnings(),
              std::vector<std::string>{"Line 1 of " + kPath + " (\"port = 10001\"): " + strShared +
                                       "10002"});
}

// Addresses in network order, as a socket gives a client's.
std::uint32_t Address(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    const unsigned char bytes[4] = {a, b, c, d};
    std::uint32_t nAddress = 0;
    std::memcpy(&nAddress, bytes, sizeof nAddress);
    return nAddress;
}

TEST(ServerSettingsTest, TheClientsAreAnyNoneOrAListOfAddressesAndSubnets)
{
    EXPECT_TRUE(CServerSettings::FromText("", kPath).Clients().Admits(Address(192, 168, 7, 9)));
    const CServerSettings listed =
        CServerSettings::FromText("clients = 10.0.0.5, 10.0.1.0/24,192.168.0.0/16\n", kPath);
    EXPECT_TRUE(listed.Warnings().empty());
    for (const std::uint32_t nInside : {Address(10, 0, 0, 5), Address(10, 0, 1, 0),
                                        Address(10, 0, 1, 255), Address(192, 168, 9, 1)})
        EXPECT_TRUE(listed.Clients().Admits(nInside));
    for (const std::uint32_t nOutside : {Address(10, 0, 0, 6), Address(10, 0, 2, 1),
                                         Address(192, 169, 0, 1), Address(127, 0, 0, 1)})
        EXPECT_FALSE(listed.Clients().Admits(nOutside));
    EXPECT_FALSE(CServerSettings::FromText("clients = none\n", kPath)
                     .Clients()
                     .Admits(Address(10, 0, 0, 5)));
    EXPECT_TRUE(CServerSettings::FromText("clients = 0.0.0.0/0\n", kPath)
                    .Clients()
                    .Admits(Address(10, 0, 0, 5)));
    // A list that cannot be read leaves the clients as they were.
    for (const char* pszList :
         {"10.0.0.256", "10.0.0", "10.0.0.5/33", "10.0.0.5,", "10.0.0.5 10.0.0.6", "fe80::1",
          "0x0a.0.0.1", "10.0.0.1/", "anyone"}) {
        const CServerSettings bad = CServerSettings::FromText(
            "clients = 10.0.0.5\nclients = " + std::string(pszList) + "\n", kPath);
        EXPECT_TRUE(bad.Clients().Admits(Address(10, 0, 0, 5))) << pszList;
        EXPECT_FALSE(bad.Clients().Admits(Address(10, 0, 0, 6))) << pszList;
        ASSERT_EQ(bad.Warnings().size(), 1u) << pszList;
        EXPECT_NE(bad.Warnings()[0].find("is not an IPv4 address or subnet"), std::string::npos);
    }
}

// A line is quoted as a log line may hold it: printable and short, whatever the file holds.
TEST(ServerSettingsTest, AQuotedLineIsPrintableAndShort)
{
    const CServerSettings settings = CServerSettings::FromText(
        "\x1b[31mport\x7f = 1\n" + std::string(100, 'k') + " = 1\n", kPath);
    ASSERT_EQ(settings.Warnings().size(), 2u);
    EXPECT_EQ(settings.Warnings()[0], "Line 1 of " + kPath +
                                          " (\"?[31mport? = 1\") is left out: there is no "
                                          "setting \"?[31mport?\"");
    EXPECT_EQ(settings.Warnings()[1].find(std::string(61, 'k')), std::string::npos);
    EXPECT_NE(settings.Warnings()[1].find(std::string(60, 'k') + "...\")"), std::string::npos);
}

} // namespace
