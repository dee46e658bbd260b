// SPDX-License-Identifier: GPL-3.0-or-later
// The service reads its settings again on SIGHUP (systemd's reload): what it cannot use is said,
// and a new port is listened at at once, the old one let go.
#include "ServerProcessTest.h"

#include <cstdio>
#include <fstream>

using ServerReloadTest = CServerProcessTest;

TEST_F(ServerReloadTest, aReloadSaysWhatItCannotUseAndMovesToANewPort)
{
    const std::string strSettings = m_strStderrPath + ".conf";
    std::ofstream(strSettings) << "port = 10001\n";
    ::setenv("TARNLOW_SETTINGS", strSettings.c_str(), 1);
    Start();
    ::unsetenv("TARNLOW_SETTINGS");
    EXPECT_EQ(Exchange("PC7:Hello", 10001), m_strHost + ":Hello");

    std::ofstream(strSettings) << "port = 10002\nport = none\n";
    std::size_t nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("Listening for clients", m_Patience, nBefore));
    const std::vector<std::string> entries = MessagesSince(nBefore);
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0], "Line 2 of " + strSettings +
                              " (\"port = none\") is left out: the port must be a number from 1 "
                              "to 65535");
    EXPECT_EQ(entries[1], "The server's port is now 10002");
    EXPECT_EQ(entries.back(), "Listening for clients");
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
    EXPECT_EQ(Exchange("PC7:Hello", 10002), m_strHost + ":Hello");
    EXPECT_EQ(Exchange("PC7:Hello", 10001), "(no connection)");

    // The same port: nothing moves, and only what cannot be used is said.
    std::ofstream(strSettings) << "port = 10002\nbad\n";
    nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("Line 2 of " + strSettings +
                                           " (\"bad\") is left out: it is not \"key = value\"",
                                       m_Patience, nBefore));
    EXPECT_EQ(Exchange("PC7:Hello", 10002), m_strHost + ":Hello");
    const std::vector<std::string> after = MessagesSince(nBefore);
    EXPECT_EQ(std::count(after.begin(), after.end(), "Listening for clients"), 0);
    StopAndExpectCleanExit();
    std::remove(strSettings.c_str());
}
