// SPDX-License-Identifier: GPL-3.0-or-later
// A fixture that runs the real tarnlow-server inside a private loopback-only network namespace,
// alone there, so it listens on its default port 10000; its log is read from its standard output.
#pragma once

#include "LogLines.h"
#include "LoopbackClient.h"
#include "ProcessRunner.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

inline constexpr unsigned short kServerPort = 10000;

inline std::string HostName()
{
    char cName[257] = {};
    ::gethostname(cName, 256);
    return cName;
}

inline std::string ReadFile(const std::string& strPath)
{
    std::ifstream file(strPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class CServerProcessTest : public ::testing::Test
{
protected:
    void Start()
    {
        m_pServer = std::make_unique<CProcessRunner>(TARNLOW_SERVER_PATH, m_strStderrPath);
        ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience));
    }

    // Sends one request and waits until the server is waiting again.
    std::string Request(const std::string& strRequest)
    {
        const std::size_t nBefore = m_pServer->Lines().size();
        const std::string strReply = Exchange(strRequest, kServerPort);
        EXPECT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", m_Patience, nBefore));
        return strReply;
    }

    std::vector<std::string> MessagesSince(std::size_t nFrom)
    {
        return Messages(m_pServer->Lines(), nFrom);
    }

    void StopAndExpectCleanExit()
    {
        m_pServer->Signal(SIGTERM);
        const int nStatus = m_pServer->WaitForExit(std::chrono::seconds(10));
        ASSERT_NE(nStatus, -1) << "the server did not end within 10 seconds";
        EXPECT_TRUE(WIFEXITED(nStatus)) << "status " << nStatus;
        EXPECT_EQ(WEXITSTATUS(nStatus), 0);
        EXPECT_NE(ReadFile(m_strStderrPath).find("CTarnlowServerDlg::CleanClose()\n"),
                  std::string::npos);
    }

    const std::string m_strHost = HostName();
    // Each test keeps the server's trace in a file of its own.
    const std::string m_strStderrPath = [] {
        const ::testing::TestInfo* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(pTest->test_suite_name()) + "." + pTest->name() + "-server-stderr.log";
    }();
    const std::chrono::seconds m_Patience{10};
    std::unique_ptr<CProcessRunner> m_pServer;
};
