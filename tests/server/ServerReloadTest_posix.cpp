// SPDX-License-Identifier: GPL-3.0-or-later
// The service reads its settings again on SIGHUP (systemd's reload): what it cannot use is said,
// and a new port is listened at at once, the old one let go; the page's port and its being served
// follow too.
#include "ServerProcessTest.h"
#include "SettingsFile_posix.h"

#include <algorithm>

using ServerReloadTest = CServerProcessTest;

TEST_F(ServerReloadTest, aReloadSaysWhatItCannotUseAndMovesToANewPort)
{
    const CSettingsFile settings(m_strStderrPath + ".conf", "port = 10003\n");
    const std::string& strSettings = settings.Path();
    Start();
    // A greeting, and the server waiting again once its entries are written.
    const auto greet = [this](unsigned short nPort) {
        const std::size_t nFrom = m_pServer->Lines().size();
        const std::string strReply = Exchange("PC7:Hello", nPort);
        if (strReply != "(no connection)") {
            EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nFrom));
        }
        return strReply;
    };
    EXPECT_EQ(greet(10003), m_strHost + ":Hello");

    settings.Write("port = 10004\nport = none\n");
    std::size_t nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("Listening for clients", m_Patience, nBefore));
    const std::vector<std::string> entries = MessagesSince(nBefore);
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0], "Line 2 of " + strSettings +
                              " (\"port = none\") is left out: the port must be a number from 1 "
                              "to 65535");
    EXPECT_EQ(entries[1], "The server's port is now 10004");
    EXPECT_NE(std::find(entries.begin() + 2, entries.end(), "Listening for clients"),
              entries.end());
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
    EXPECT_EQ(greet(10004), m_strHost + ":Hello");
    EXPECT_EQ(greet(10003), "(no connection)");

    // The same port: nothing moves, and only what cannot be used is said.
    settings.Write("port = 10004\nbad\n");
    nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("Line 2 of " + strSettings +
                                           " (\"bad\") is left out: it is not \"key = value\"",
                                       m_Patience, nBefore));
    EXPECT_EQ(greet(10004), m_strHost + ":Hello");
    const std::vector<std::string> after = MessagesSince(nBefore);
    EXPECT_EQ(std::count(after.begin(), after.end(), "Listening for clients"), 0);

    // The page moves as its port does, and goes when it is turned off.
    settings.Write("port = 10004\npage-port = 10005\n");
    nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("The server's page is at http://127.0.0.1:10005/",
                                       m_Patience, nBefore));
    EXPECT_EQ(ConnectLoopback(10001), -1);
    settings.Write("port = 10004\npage = off\n");
    nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    ASSERT_TRUE(m_pServer->WaitForLine("The server's page is off", m_Patience, nBefore));
    EXPECT_EQ(ConnectLoopback(10005), -1);
    EXPECT_EQ(greet(10004), m_strHost + ":Hello");

    // The allowed clients change with a reload: none, then loopback's.
    settings.Write("port = 10004\nclients = none\n");
    nBefore = m_pServer->Lines().size();
    m_pServer->Signal(SIGHUP);
    while (Exchange("PC7:Hello", 10004) != "")
        continue;
    EXPECT_TRUE(m_pServer->WaitForLine(
        "Refused a client at 127.0.0.1, not among the allowed clients", m_Patience, nBefore));
    settings.Write("port = 10004\nclients = 127.0.0.1\n");
    m_pServer->Signal(SIGHUP);
    while (Exchange("PC7:Hello", 10004) == "")
        continue;
    EXPECT_EQ(greet(10004), m_strHost + ":Hello");
    StopAndExpectCleanExit();
}
