// SPDX-License-Identifier: GPL-3.0-or-later
// The server's page in a real browser: Debian's Chromium, headless, at a phone's size, in the
// LAN's namespace (the phone's), over the gateway whose uplink it shares and stops sharing once
// paired with the code from the server's Log; the traffic from the LAN passes and stops with it,
// a desktop client's entry comes as text, the phone forgets itself, and another site's page cannot
// drive the server.
#include "GatewayNetnsTest_posix.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

namespace
{

using namespace GatewayNetns;

// Said to the shell as one word, whatever it holds.
std::string Quoted(const std::string& strText)
{
    std::string strQuoted = "'";
    for (const char c : strText)
        strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strQuoted + "'";
}

// A name with markup and a quote: the page and the Log must show it as it is.
const std::string kPhone = "Anna's <b>phone</b>";

class PageBrowserTest : public CGatewaySuiteTest
{
protected:
    // One step of the browser script in the phone's namespace, with the phone's browser profile:
    // what it saw and measured, or what failed.
    nlohmann::json Browse(const std::string& strStep, const std::vector<std::string>& args = {},
                          const std::string& strProfile = "phone")
    {
        std::string strCommand =
            "ip netns exec " + kLan + " /usr/bin/python3 " TARNLOW_BROWSER_SCRIPT " http://" +
            std::string(kServerAddress) + ":10001/ " +
            Quoted(std::filesystem::absolute(m_strStderrPath + "." + strProfile).string()) + " " +
            strStep;
        for (const std::string& strArgument : args)
            strCommand += " " + Quoted(strArgument);
        strCommand += " 2>" + m_strStderrPath + ".browser";
        std::string strOut;
        if (std::FILE* pOut = ::popen(strCommand.c_str(), "r")) {
            char cBuffer[4096];
            for (std::size_t n; (n = std::fread(cBuffer, 1, sizeof cBuffer, pOut)) > 0;)
                strOut.append(cBuffer, n);
            ::pclose(pOut);
        }
        const nlohmann::json seen = nlohmann::json::parse(strOut, nullptr, false);
        return seen.is_discarded() ? nlohmann::json{{"failed", "no answer: " + strOut}} : seen;
    }

    // Pairs the phone: the browser reads its code from the server's Log, as its user would from
    // the journal, once the server has written it.
    nlohmann::json Pair()
    {
        const std::string strLog = m_strStderrPath + ".log";
        const std::size_t nBefore = m_pServer->Lines().size();
        std::thread journal([&] {
            if (!m_pServer->WaitForLine("Pairing code ", m_Patience, nBefore))
                return;
            std::ofstream file(strLog);
            for (const std::string& strLine : MessagesSince(nBefore))
                file << strLine << "\n";
        });
        const nlohmann::json seen = Browse("pair", {kPhone, strLog});
        journal.join();
        return seen;
    }
};

// The phone pairs with the code from the Log, shares the uplink with the keyboard and stops it,
// sees a desktop client's entry as text, and forgets itself; every entry names it.
TEST_F(PageBrowserTest, aPhonePairsWithTheCodeFromTheLogSharesAndStopsTheUplinkAndForgetsItself)
{
    ASSERT_EQ(ReachIspFromLan(), "") << "the LAN reached the ISP before any sharing";
    std::size_t nBefore = m_pServer->Lines().size();
    nlohmann::json seen = Pair();
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["name label"], "Name of this device");
    EXPECT_EQ(seen["devices"], nlohmann::json::array({kPhone + " (this device)"}));
    const std::string strDevice = "The device \"" + kPhone + "\" at 10.77.1.2";
    EXPECT_TRUE(HasEntry(MessagesSince(nBefore), strDevice + " is paired"));

    nBefore = m_pServer->Lines().size();
    seen = Browse("share", {"gw-isp"});
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["log live"], "polite");
    EXPECT_EQ(seen["log role"], "list");
    EXPECT_EQ(seen["heading"], m_strHost);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    EXPECT_TRUE(HasEntry(MessagesSince(nBefore), strDevice + " asks to share gw-isp"));
    std::cout << "[ FIGURES  ] share: " << seen.dump() << "\n";

    nBefore = m_pServer->Lines().size();
    seen = Browse("stop", {"gw-isp", kServerAddress});
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(ReachIspFromLan(), "");
    EXPECT_TRUE(HasEntry(MessagesSince(nBefore), strDevice + " asks to stop sharing gw-isp"));
    std::cout << "[ FIGURES  ] stop: " << seen.dump() << "\n";

    nBefore = m_pServer->Lines().size();
    seen = Browse("forget", {kPhone});
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["after forget"], "This device is not paired");
    EXPECT_TRUE(HasEntry(MessagesSince(nBefore), strDevice + " forgot itself"));
}

// Another site's page in the phone's browser asks for a share as its script can and as a form
// can: the browser lets its script read nothing, the form's request is refused, and the Log has
// no request of the page's.
TEST_F(PageBrowserTest, anotherSitesPageInThePhonesBrowserCannotDriveTheServer)
{
    const std::size_t nBefore = m_pServer->Lines().size();
    const nlohmann::json seen =
        Browse("foreign", {"{00000000-0000-0000-0000-000000000000}"}, "foreign");
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["foreign"], "refused, form answered");
    for (const std::string& strMessage : MessagesSince(nBefore))
        EXPECT_EQ(strMessage.find(" asks to "), std::string::npos) << strMessage;
    EXPECT_EQ(ReachIspFromLan(), "");
}

} // namespace
