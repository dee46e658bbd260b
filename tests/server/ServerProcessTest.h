// SPDX-License-Identifier: GPL-3.0-or-later
// A fixture that runs the real server alone in a private loopback-only network namespace, so it
// listens on its default port 10000; its log is read from its standard output.
#pragma once

#include "LogLines.h"
#include "LoopbackClient.h"
#include "ServerProcess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

inline constexpr unsigned short kServerPort = 10000;

class CServerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
    }

    void Start()
    {
#ifndef _WIN32
        // What the server keeps (its paired devices) is the test's own, never the user's.
        ::setenv("STATE_DIRECTORY",
                 std::filesystem::absolute(m_strStderrPath + ".state").string().c_str(), 1);
#endif
        m_pServer = std::make_unique<CServerProcess>(TARNLOW_SERVER_PATH, m_strStderrPath);
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

    // Asks the server to end as its platform does; it ends within 10 seconds, with 0, after its
    // clean close.
    void StopAndExpectCleanExit()
    {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(m_pServer->RequestClose()) << "the server's window did not come";
        const std::optional<int> exitCode = m_pServer->ExitCode(std::chrono::seconds(10));
        ASSERT_TRUE(exitCode) << "the server did not end within 10 seconds";
        EXPECT_EQ(*exitCode, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        if (const std::optional<std::string> strTrace = m_pServer->Trace()) {
            EXPECT_NE(strTrace->find("CTarnlowServerDlg::CleanClose()\n"), std::string::npos);
        }
    }

    const std::string m_strHost = HostName();
    // Each test keeps the server's trace in a file of its own, named also after the server, whose
    // suites for another server run beside it in the same folder.
    const std::string m_strStderrPath = [] {
        const ::testing::TestInfo* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::filesystem::path(TARNLOW_SERVER_PATH).stem().string() + "." +
               pTest->test_suite_name() + "." + pTest->name() + "-stderr.log";
    }();
    // Only a bound for a condition that never comes: Wine starts a program slowly.
    const std::chrono::seconds m_Patience{30};
    std::unique_ptr<CServerProcess> m_pServer;
};
