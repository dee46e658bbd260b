// SPDX-License-Identifier: GPL-3.0-or-later
// The server's host in the test's process, without any window, over an in-memory sharing service
// and on a clock that the test moves, inside a private loopback-only network namespace where its
// listener has port 10000 to itself; what its log and its fronts are shown, for the test to wait
// on.
#pragma once

#include "ControlProtocol.h"
#include "InterfaceNotificationsDouble.h"
#include "LoopbackClient.h"
#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "ServerHost.h"
#include "SharingServiceDoubles.h"
#include "TestClock.h"

#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>

inline constexpr unsigned short kServerPort = 10000;

// What a view of the host's log and a front of the host are shown, for the test to wait on.
class CRecorder : public ILogView, public IServerFront
{
public:
    void ShowEntries(const std::vector<SLogEntry>& entries) override
    {
        Record([&] {
            for (const SLogEntry& entry : entries)
                m_Messages.push_back(entry.strText);
        });
    }
    void ShowConnections(const std::vector<SConnectionRow>& rows) override
    {
        Record([&] {
            m_Rows.clear();
            for (const SConnectionRow& row : rows)
                m_Rows.push_back(RowText(row));
            m_ListingSizes.push_back(rows.size());
        });
    }
    void ShowNoDialupNotice() override
    {
        Record([&] { ++m_nNotices; });
    }
    void ShowAddress(const std::string& strShown) override
    {
        Record([&] { m_Addresses.push_back(strShown); });
    }
    // The host asked its owner to close it.
    void CloseRequested()
    {
        Record([&] { ++m_nCloseRequests; });
    }

    // Waits until the condition, read under the recorder's lock, holds; false after 30 seconds
    // (a bound for a condition that never comes).
    template <typename TCondition>
    bool WaitUntil(TCondition condition)
    {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::seconds(30), [&] { return condition(*this); });
    }
    template <typename TRead>
    auto Read(TRead read)
    {
        std::lock_guard lock(m_Mutex);
        return read(*this);
    }
    std::vector<std::string> Messages(std::size_t nFrom = 0)
    {
        return Read([nFrom](CRecorder& r) {
            return std::vector<std::string>(
                r.m_Messages.begin() + std::min(nFrom, r.m_Messages.size()), r.m_Messages.end());
        });
    }
    std::size_t Count()
    {
        return Read([](CRecorder& r) { return r.m_Messages.size(); });
    }

    std::vector<std::string> m_Messages;
    std::vector<std::string> m_Rows;
    std::vector<std::string> m_Addresses;
    int m_nNotices = 0;
    int m_nCloseRequests = 0;
    // How many rows each listing had, in order.
    std::vector<std::size_t> m_ListingSizes;

private:
    static std::string RowText(const SConnectionRow& row)
    {
        return row.strName + "|" + ControlProtocol::MediaTypeText(row.nMediaType) + "|" +
               ControlProtocol::StatusText(row.nStatus) + "|" + (row.bShared ? "Yes" : "No");
    }
    template <typename TChange>
    void Record(TChange change)
    {
        {
            std::lock_guard lock(m_Mutex);
            change();
        }
        m_Changed.notify_all();
    }

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
};

inline bool EndsWaiting(const CRecorder& recorder, std::size_t nBefore)
{
    return recorder.m_Messages.size() > nBefore &&
           recorder.m_Messages.back() == "Waiting for a socket event";
}

class CServerHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OnlyLoopback())
            GTEST_SKIP() << kNotLoopbackOnly;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_pService = CMemorySharingService::Create();
        m_pRegistration = std::make_unique<CRegisteredService>(m_pService);
    }

    void TearDown() override
    {
        // Skipped before COM began.
        if (m_pService == nullptr)
            return;
        m_pHost.reset();
        m_pRegistration.reset();
        CoUninitialize();
    }

    // Makes the host, as a program without a window does, and starts it.
    void Open(bool bHeadless = false)
    {
        CServerHost::SOptions options;
        options.bHeadless = bHeadless;
        options.pClock = &m_Clock;
        options.RequestClose = [this] { m_Recorder.CloseRequested(); };
        options.Notifications = m_Notifications.Functions();
        options.Settings = m_Settings;
        options.PageLimits = m_PageLimits;
        m_pHost = std::make_unique<CServerHost>(std::move(options));
        m_pHost->Log().AddView(m_Recorder);
        m_pHost->AddFront(m_Recorder);
        std::string strFailure;
        ASSERT_TRUE(m_pHost->InitialiseCOM(strFailure)) << strFailure;
        ASSERT_TRUE(m_pHost->Start(kServerPort));
        ASSERT_TRUE(m_Recorder.WaitUntil([](CRecorder& r) { return EndsWaiting(r, 0); }));
    }

    // One request over TCP to the listener; returns the reply and the entries logged for it after
    // the listener's own two.
    std::string Request(const std::string& strRequest, std::vector<std::string>* pLogged = nullptr)
    {
        const std::size_t nBefore = m_Recorder.Count();
        const std::string strReply = Exchange(strRequest, kServerPort);
        EXPECT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) { return EndsWaiting(r, nBefore); }));
        std::vector<std::string> logged = m_Recorder.Messages(nBefore);
        logged.pop_back();
        if (pLogged != nullptr)
            *pLogged = std::vector<std::string>(
                logged.begin() + std::min<std::size_t>(2, logged.size()), logged.end());
        return strReply;
    }

    // A client kept away: closed unanswered three times, named at the first and again once the
    // host's clock has moved a minute on.
    void ExpectKeptAwayAndNamedOnceAMinute(const std::string& strNamed)
    {
        const std::size_t nBefore = m_Recorder.Count();
        EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "");
        EXPECT_TRUE(
            m_Recorder.WaitUntil([&](CRecorder& r) { return r.m_Messages.back() == strNamed; }));
        EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "");
        m_Clock.Advance(CClientRule::kNameEvery);
        EXPECT_EQ(Exchange("PC7:Hello", kServerPort), "");
        EXPECT_TRUE(m_Recorder.WaitUntil([&](CRecorder& r) {
            return r.m_Messages.size() == nBefore + 2 && r.m_Messages.back() == strNamed;
        }));
    }

    std::string Row(std::size_t nRow)
    {
        return m_Recorder.Read(
            [nRow](CRecorder& r) { return nRow < r.m_Rows.size() ? r.m_Rows[nRow] : ""; });
    }

    // What the host is opened with.
    CServerSettings m_Settings;
    CPageServer::SLimits m_PageLimits;
    CTestClock m_Clock;
    CInterfaceNotificationsDouble m_Notifications;
    CRecorder m_Recorder;
    std::shared_ptr<CMemorySharingService> m_pService;
    std::unique_ptr<CRegisteredService> m_pRegistration;
    std::unique_ptr<CServerHost> m_pHost;
    const std::string m_strHost = HostName();
};
