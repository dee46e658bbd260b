// SPDX-License-Identifier: GPL-3.0-or-later
// The server as a Linux service runs it, alone in a private loopback-only network namespace: no
// one sees its window, so a server that cannot listen ends for its service manager to start it
// again, and under systemd its lines carry their priority for the journal.
#include "ServerProcessTest.h"
#include "SettingsFile_posix.h"

#include <algorithm>

using namespace std::chrono_literals;

using ServerServiceTest = CServerProcessTest;

TEST_F(ServerServiceTest, portInUseIsReportedAndTheHeadlessServerExitsWithOne)
{
    const int nBlocker = ::socket(AF_INET, SOCK_STREAM, 0);
    const int nReuse = 1;
    ::setsockopt(nBlocker, SOL_SOCKET, SO_REUSEADDR, &nReuse, sizeof nReuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(nBlocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(nBlocker, 1), 0);
    m_pServer = std::make_unique<CServerProcess>(TARNLOW_SERVER_PATH, m_strStderrPath);
    EXPECT_TRUE(m_pServer->WaitForLine("Failed to start listening for clients", 10s));
    EXPECT_NE(ReadFile(m_strStderrPath)
                  .find("bind() failed with error: 10048\nServer Thread is exiting\n"),
              std::string::npos);
    // No one sees the window: the server ends, for its service manager to start it again.
    const int nStatus = m_pServer->WaitForExit(10s);
    ::close(nBlocker);
    ASSERT_NE(nStatus, -1) << "the server did not end within 10 seconds";
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) << "status " << nStatus;
    EXPECT_EQ(Messages(m_pServer->Lines()).back(), "Failed to start listening for clients");
}

// Under systemd the journal tells log entries (failures as warnings) from traces.
TEST_F(ServerServiceTest, inTheJournalEachLineCarriesItsPriority)
{
    m_pServer = std::make_unique<CServerProcess>(TARNLOW_SERVER_PATH, m_strStderrPath,
                                                 CServerProcess::EStreams::Journal);
    ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience));
    const int nSilent = ConnectLoopback(kServerPort);
    ASSERT_TRUE(m_pServer->WaitForLine("Communication with client garbled", m_Patience));
    ::close(nSilent);
    m_pServer->Signal(SIGTERM);
    EXPECT_EQ(m_pServer->WaitForExit(10s), 0);
    std::vector<std::string> entries;
    std::vector<std::string> warnings;
    std::vector<std::string> traces;
    for (const std::string& strLine : m_pServer->Lines()) {
        ASSERT_GE(strLine.size(), 3u);
        const std::string strPriority = strLine.substr(0, 3);
        ASSERT_TRUE(strPriority == "<4>" || strPriority == "<6>" || strPriority == "<7>")
            << strLine;
        (strPriority == "<4>"   ? warnings
         : strPriority == "<6>" ? entries
                                : traces)
            .push_back(strLine.substr(3));
    }
    EXPECT_EQ(Messages(entries).front(), "Program started");
    EXPECT_EQ(Messages(entries).size(), entries.size() - 1) << "the entries and one address";
    EXPECT_NE(std::find(entries.begin(), entries.end(), "IP Address: 127.0.0.1"), entries.end());
    EXPECT_EQ(Messages(warnings), std::vector<std::string>{"Communication with client garbled"});
    EXPECT_EQ(Messages(traces), std::vector<std::string>{});
    EXPECT_NE(std::find(traces.begin(), traces.end(), "CTarnlowServerDlg::CleanClose()"),
              traces.end());
}

// Ctrl+C on a terminal closes the server as the service manager's SIGTERM does: cleanly, with 0.
TEST_F(ServerServiceTest, anInterruptClosesTheServerAsATerminationDoes)
{
    Start();
    m_pServer->Signal(SIGINT);
    const std::optional<int> exitCode = m_pServer->ExitCode(std::chrono::seconds(10));
    ASSERT_TRUE(exitCode) << "the server did not end within 10 seconds";
    EXPECT_EQ(*exitCode, 0);
    EXPECT_NE(m_pServer->Trace()->find("CTarnlowServerDlg::CleanClose()\n"), std::string::npos);
}

// The port of the settings file is the one listened at, and a line that cannot be used is said
// right after the start's first entry.
TEST_F(ServerServiceTest, theSettingsFilesPortIsListenedAtAndWhatItCannotUseIsSaid)
{
    const CSettingsFile settings(m_strStderrPath + ".conf",
                                 "# moved\nport = 10003\nprot = 10004\n");
    Start();
    EXPECT_EQ(Exchange("PC7:Hello", 10003), m_strHost + ":Hello");
    EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "(no connection)")
        << "not at the protocol's own port";
    const std::vector<std::string> entries = Messages(m_pServer->Lines());
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], "Program started");
    EXPECT_EQ(entries[1], "Line 3 of " + settings.Path() +
                              " (\"prot = 10004\") is left out: there is no setting \"prot\"");
}
