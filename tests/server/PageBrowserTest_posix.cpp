// SPDX-License-Identifier: GPL-3.0-or-later
// The server's page in a real browser: Debian's Chromium, headless, at a phone's size, in the
// LAN's namespace (the phone's), over the gateway whose uplink it shares and stops sharing; the
// traffic from the LAN passes and stops with it, a desktop client's entry comes as text, and
// another site's page cannot drive the server.
#include "GatewayNetnsTest_posix.h"

#include <nlohmann/json.hpp>

namespace
{

using namespace GatewayNetns;

class PageBrowserTest : public CGatewaySuiteTest
{
protected:
    // One step of the browser script in the phone's namespace: what it saw and measured, or
    // what failed.
    nlohmann::json Browse(const std::string& strStep)
    {
        const std::string strCommand = "ip netns exec " + kLan +
                                       " /usr/bin/python3 " TARNLOW_BROWSER_SCRIPT " http://" +
                                       std::string(kServerAddress) + ":10001/ " + strStep + " 2>" +
                                       m_strStderrPath + ".browser";
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
};

TEST_F(PageBrowserTest, aPhoneSharesAndStopsTheUplinkAndADesktopClientsEntryComesAsText)
{
    ASSERT_EQ(ReachIspFromLan(), "") << "the LAN reached the ISP before any sharing";
    std::size_t nBefore = m_pServer->Lines().size();
    nlohmann::json seen = Browse("share gw-isp");
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["log live"], "polite");
    EXPECT_EQ(seen["log role"], "list");
    EXPECT_EQ(seen["heading"], m_strHost);
    EXPECT_EQ(ReachIspFromLan(), kUplinkAddress);
    std::vector<std::string> messages = MessagesSince(nBefore);
    EXPECT_TRUE(HasEntry(messages, "The page at 10.77.1.2 asks to share gw-isp"));
    std::cout << "[ FIGURES  ] share: " << seen.dump() << "\n";

    nBefore = m_pServer->Lines().size();
    seen = Browse("stop gw-isp " + std::string(kServerAddress));
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(ReachIspFromLan(), "");
    messages = MessagesSince(nBefore);
    EXPECT_TRUE(HasEntry(messages, "The page at 10.77.1.2 asks to stop sharing gw-isp"));
    std::cout << "[ FIGURES  ] stop: " << seen.dump() << "\n";
}

// Another site's page in the phone's browser asks for a share as its script can and as a form
// can: the browser lets its script read nothing, the form's request is refused, and the Log has
// no request of the page's.
TEST_F(PageBrowserTest, anotherSitesPageInThePhonesBrowserCannotDriveTheServer)
{
    const std::size_t nBefore = m_pServer->Lines().size();
    const nlohmann::json seen = Browse("foreign {00000000-0000-0000-0000-000000000000}");
    ASSERT_FALSE(seen.contains("failed")) << seen.dump();
    EXPECT_EQ(seen["foreign"], "refused, form answered");
    for (const std::string& strMessage : MessagesSince(nBefore))
        EXPECT_EQ(strMessage.find("The page at"), std::string::npos) << strMessage;
    EXPECT_EQ(ReachIspFromLan(), "");
}

} // namespace
