// SPDX-License-Identifier: GPL-3.0-or-later
// The program's log without a window: the timestamp's form and clock, the line on standard output
// (written by the log's own writer, with a line that is no entry in its place) and every view in
// one order, a view that goes, and what waits for a hold or for the start.
#include "LogFanOut.h"

#include "TestClock.h"
#include "TestPlatform.h"
#include "TraceCapture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace
{

constexpr int kStandardOutput = 1;

class CRecordingView : public ILogView
{
public:
    void ShowEntries(const std::vector<SLogEntry>& entries) override
    {
        std::lock_guard lock(m_Mutex);
        ++m_nCalls;
        for (const SLogEntry& entry : entries)
            m_Lines.push_back(entry.strTimestamp + " " + entry.strText);
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_Mutex);
        return m_Lines;
    }
    int Calls()
    {
        std::lock_guard lock(m_Mutex);
        return m_nCalls;
    }

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
    int m_nCalls = 0;
};

std::vector<std::string> LinesOf(const std::string& strText)
{
    std::vector<std::string> lines;
    for (std::size_t nStart = 0, nEnd; (nEnd = strText.find('\n', nStart)) != std::string::npos;
         nStart = nEnd + 1)
        lines.push_back(strText.substr(nStart, nEnd - nStart));
    return lines;
}

// The text of each line, after its timestamp.
std::vector<std::string> TextsOf(const std::vector<std::string>& lines)
{
    std::vector<std::string> texts;
    for (const std::string& strLine : lines)
        texts.push_back(strLine.substr(20));
    return texts;
}

} // namespace

TEST(LogFanOutTest, timestampIsDayMonthYearAndTimeOfTheClocksWallTime)
{
    SetTimeZone("UTC");
    EXPECT_EQ(CLogFanOut::FormatTimestamp(1078495629), "05-03-2004 14:07:09");
    EXPECT_EQ(CLogFanOut::FormatTimestamp(0), "01-01-1970 00:00:00");
    CTestClock clock;
    clock.Advance(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::from_time_t(1078495629) - clock.WallNow()));
    CLogFanOut log(clock);
    CRecordingView view;
    log.AddView(view);
    CTraceCapture capture(kStandardOutput);
    log.AddEntry("Program started");
    log.WriteLine(ILogSink::EPriority::Info, "IP Address: 127.0.0.1");
    log.Flush();
    EXPECT_EQ(capture.Text(), "05-03-2004 14:07:09 Program started\nIP Address: 127.0.0.1\n");
    EXPECT_EQ(view.Lines(), std::vector<std::string>{"05-03-2004 14:07:09 Program started"});
    SetTimeZone(nullptr);
}

// Standard output and every view see the same entries in the same order, each thread's in the
// order of its calls; a view that went sees no more.
TEST(LogFanOutTest, everyViewAndTheLineGetTheEntriesInOneOrder)
{
    CLogFanOut log;
    CRecordingView first;
    CRecordingView second;
    log.AddView(first);
    log.AddView(second);
    CTraceCapture capture(kStandardOutput);
    constexpr int kEach = 200;
    const auto add = [&](const char* pszThread) {
        for (int i = 0; i < kEach; ++i)
            log.AddEntry(std::string(pszThread) + " " + std::to_string(i),
                         i % 2 == 0 ? ILogSink::EPriority::Info : ILogSink::EPriority::Warning);
    };
    std::thread other(add, "other");
    add("this");
    other.join();
    log.Flush();
    const std::vector<std::string> lines = LinesOf(capture.Text());
    ASSERT_EQ(lines.size(), 2u * kEach);
    EXPECT_EQ(first.Lines(), lines);
    EXPECT_EQ(second.Lines(), lines);
    int nNext[2] = {0, 0};
    for (const std::string& strText : TextsOf(lines)) {
        const bool bThis = strText.starts_with("this ");
        EXPECT_EQ(strText.substr(strText.find(' ') + 1), std::to_string(nNext[bThis]++));
    }
    log.RemoveView(second);
    log.AddEntry("after");
    EXPECT_EQ(first.Lines().size(), 2u * kEach + 1);
    EXPECT_EQ(second.Lines().size(), 2u * kEach);
}

// A held thread's entries go out in one piece when the hold ends; the others' do not wait.
TEST(LogFanOutTest, heldEntriesGoOutTogetherWhenTheHoldEnds)
{
    CLogFanOut log;
    CRecordingView view;
    log.AddView(view);
    CTraceCapture capture(kStandardOutput);
    {
        const ILogSink::CEntryHold hold(log);
        log.AddEntry("Message Received: PC7:Hello");
        std::thread([&] { log.AddEntry("Populated connection list"); }).join();
        log.AddEntry("Replied with: host:Hello");
        EXPECT_EQ(TextsOf(view.Lines()), std::vector<std::string>{"Populated connection list"});
    }
    EXPECT_EQ(TextsOf(view.Lines()),
              (std::vector<std::string>{"Populated connection list", "Message Received: PC7:Hello",
                                        "Replied with: host:Hello"}));
    EXPECT_EQ(view.Calls(), 2);
    log.Flush();
    EXPECT_EQ(TextsOf(LinesOf(capture.Text())), TextsOf(view.Lines()));
}

// While a program starts, what other threads say (the listener's first wait, or its failure,
// held or not) follows the start's own entries, however early it was said.
TEST(LogFanOutTest, otherThreadsEntriesFollowTheStartsOwn)
{
    CLogFanOut log;
    CRecordingView view;
    log.AddView(view);
    CTraceCapture capture(kStandardOutput);
    {
        const CLogFanOut::CStartHold start(log);
        log.AddEntry("TCP/IP: Started");
        std::thread([&] {
            log.AddEntry("Waiting for a socket event");
            const ILogSink::CEntryHold hold(log);
            log.AddEntry("Socket accept request received");
        }).join();
        log.AddEntry("Listening for clients");
        EXPECT_EQ(TextsOf(view.Lines()),
                  (std::vector<std::string>{"TCP/IP: Started", "Listening for clients"}));
    }
    EXPECT_EQ(
        TextsOf(view.Lines()),
        (std::vector<std::string>{"TCP/IP: Started", "Listening for clients",
                                  "Waiting for a socket event", "Socket accept request received"}));
    log.Flush();
    EXPECT_EQ(TextsOf(LinesOf(capture.Text())), TextsOf(view.Lines()));
    std::thread([&] { log.AddEntry("later"); }).join();
    EXPECT_EQ(TextsOf(view.Lines()).back(), "later");
}
