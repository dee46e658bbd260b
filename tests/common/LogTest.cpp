// SPDX-License-Identifier: GPL-3.0-or-later
#include "Log.h"

#include "ClientResources.h"
#include "MessageBox.h"
#include "ServerResources.h"
#include "TestPlatform.h"
#include "TraceCapture.h"
#include "UiTestSupport.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <thread>

namespace
{

constexpr int kStandardOutput = 1;

const std::regex kTimestamp(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)");

bool IsTimestamp(const std::string& strText)
{
    return std::regex_match(strText, kTimestamp);
}

class LogTest : public ::testing::Test
{
protected:
    void Open(const CResources& programResources, const SLogVariant& variant)
    {
        m_Resources = WithTestWindows(programResources);
        CResources::SetCurrent(&m_Resources);
        m_Variant = variant;
        m_pLog = new CLog(variant);
        m_Log.AddView(*m_pLog);
        m_pWindow = std::make_unique<CTestMainWindow>(m_pLog);
        ASSERT_TRUE(m_pWindow->Open());
    }

    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
        if (m_pLog != nullptr)
            m_Log.RemoveView(*m_pLog);
        m_pWindow.reset();
        CResources::SetCurrent(nullptr);
    }

    HWND List() const { return m_pLog->m_LogList.GetSafeHwnd(); }
    HWND Clear() const { return m_pLog->GetDlgItem(m_Variant.nClearId); }
    HWND Print() const { return m_pLog->GetDlgItem(m_Variant.nPrintId); }
    HWND Save() const { return m_pLog->GetDlgItem(m_Variant.nSaveId); }
    std::string Message(int nRow) const { return m_pLog->m_LogList.GetItemText(nRow, 1); }

    // Adds entries to the program's log with standard output captured, and returns what was
    // written there.
    std::string AddEntries(const std::vector<std::string>& texts)
    {
        CTraceCapture capture(kStandardOutput);
        for (const std::string& strText : texts)
            m_Log.AddEntry(strText);
        m_Log.Flush();
        return capture.Text();
    }

    void PressKeyAt(HWND hControl, WPARAM nVirtualKey)
    {
        FocusControl(hControl);
        ASSERT_TRUE(WaitFor([&] { return FocusIn(m_pWindow->GetSafeHwnd()) == hControl; }));
        PressKey(hControl, nVirtualKey);
        RunPending();
    }

    // The program's log, which the page shows.
    CLogFanOut m_Log;
    CResources m_Resources;
    SLogVariant m_Variant{};
    CLog* m_pLog = nullptr;
    std::unique_ptr<CTestMainWindow> m_pWindow;
};

} // namespace

TEST_F(LogTest, pageHasItsButtonsAndItsTwoColumns)
{
    Open(ServerResources(), kServerLogVariant);
    EXPECT_EQ(ControlText(Print()), "Print");
    EXPECT_EQ(ControlText(Save()), "Save");
    EXPECT_EQ(ControlText(Clear()), "Clear");
    EXPECT_EQ(m_pLog->m_LogList.GetColumnHeading(0), "Date & Time");
    EXPECT_EQ(m_pLog->m_LogList.GetColumnHeading(1), "Message");
    EXPECT_EQ(m_pLog->m_LogList.GetColumnHeading(2), "");
}

TEST_F(LogTest, entriesAppendWithTimestampWithoutSelectingOrScrolling)
{
    Open(ServerResources(), kServerLogVariant);
    std::vector<std::string> texts{"Program started", ""};
    for (int i = 0; i < 200; ++i)
        texts.push_back("Entry " + std::to_string(i));
    const std::string strOutput = AddEntries(texts);
    ASSERT_EQ(m_pLog->m_LogList.GetItemCount(), 202);
    EXPECT_EQ(Message(0), "Program started");
    EXPECT_EQ(Message(1), "");
    EXPECT_EQ(Message(201), "Entry 199");
    const std::string strTime = m_pLog->m_LogList.GetItemText(0, 0);
    EXPECT_TRUE(IsTimestamp(strTime)) << strTime;
    EXPECT_FALSE(ListHasSelection(m_pLog->m_LogList));
    EXPECT_EQ(ListTopRow(m_pLog->m_LogList), 0);
    // The log writes each entry as a line on standard output too, with the same timestamp.
    EXPECT_EQ(strOutput.substr(0, strTime.size() + 17), strTime + " Program started\n");
    EXPECT_NE(strOutput.find(" Entry 199\n"), std::string::npos);
}

TEST_F(LogTest, entriesFromTwoThreadsAppearWholeAndInCallOrder)
{
    Open(ServerResources(), kServerLogVariant);
    constexpr int kEach = 300;
    std::atomic<int> nDone{0};
    CTraceCapture capture(kStandardOutput);
    auto add = [&](const char* pszThread) {
        for (int i = 0; i < kEach; ++i)
            m_Log.AddEntry(std::string(pszThread) + " " + std::to_string(i));
        ++nDone;
    };
    std::thread first(add, "first");
    std::thread second(add, "second");
    for (int i = 0; i < kEach; ++i)
        m_Log.AddEntry("ui " + std::to_string(i));
    EXPECT_TRUE(WaitFor([&] { return nDone == 2; }, 20000));
    first.join();
    second.join();
    EXPECT_TRUE(WaitFor([&] { return m_pLog->m_LogList.GetItemCount() == 3 * kEach; }));
    m_Log.Flush();
    capture.Text();
    ASSERT_EQ(m_pLog->m_LogList.GetItemCount(), 3 * kEach);
    std::map<std::string, int> next;
    for (int nRow = 0; nRow < 3 * kEach; ++nRow) {
        const std::string strText = Message(nRow);
        const std::size_t nSpace = strText.find(' ');
        ASSERT_NE(nSpace, std::string::npos) << strText;
        const std::string strThread = strText.substr(0, nSpace);
        EXPECT_EQ(std::stoi(strText.substr(nSpace + 1)), next[strThread]++) << strText;
        EXPECT_TRUE(IsTimestamp(m_pLog->m_LogList.GetItemText(nRow, 0)));
    }
}

// A thread that holds its entries (the listener while a client waits for its reply) hands them
// over together when the hold ends, in their order; the window's own entries do not wait.
TEST_F(LogTest, heldEntriesAppearTogetherWhenTheHoldEnds)
{
    Open(ServerResources(), kServerLogVariant);
    CTraceCapture capture(kStandardOutput);
    std::atomic<bool> bAdded{false};
    std::atomic<bool> bLooked{false};
    std::thread listener([&] {
        const ILogSink::CEntryHold hold(m_Log);
        m_Log.AddEntry("Message Received: PC7:Hello");
        m_Log.AddEntry("Replied with: host:Hello");
        bAdded = true;
        while (!bLooked)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(WaitFor([&] { return bAdded.load(); }));
    Settle();
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 0);
    m_Log.AddEntry("Populated connection list");
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 1);
    bLooked = true;
    listener.join();
    EXPECT_TRUE(WaitFor([&] { return m_pLog->m_LogList.GetItemCount() == 3; }));
    EXPECT_EQ(Message(1), "Message Received: PC7:Hello");
    EXPECT_EQ(Message(2), "Replied with: host:Hello");
    m_Log.Flush();
    capture.Text();
}

// A log page whose window is made right after another thread's post found none, as the window
// thread may do at any moment.
class CRacingLog : public CLog
{
public:
    using CLog::CLog;
    bool PostCall(const std::function<void()>& call) override
    {
        if (CLog::PostCall(call))
            return true;
        if (auto onFailedPost = std::exchange(m_OnFailedPost, nullptr))
            onFailedPost();
        return false;
    }
    std::function<void()> m_OnFailedPost;
};

TEST_F(LogTest, entryFromAnotherThreadWhileThePageIsMadeIsNeverLost)
{
    m_Resources = WithTestWindows(ServerResources());
    CResources::SetCurrent(&m_Resources);
    // A page is a child window: it needs a parent on every platform.
    CPlainWindow parent;
    CRacingLog log(kServerLogVariant);
    CLogFanOut fanOut;
    fanOut.AddView(log);
    std::atomic<bool> bMakeWindow{false};
    std::atomic<bool> bMade{false};
    log.m_OnFailedPost = [&] {
        bMakeWindow = true;
        // The window thread may make the window and take the entries kept so far meanwhile.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (!bMade && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    };
    CTraceCapture capture(kStandardOutput);
    std::thread listener([&] { fanOut.AddEntry("Accepted a connection from 127.0.0.1"); });
    ASSERT_TRUE(WaitFor([&] { return bMakeWindow.load(); }));
    ASSERT_TRUE(log.Create(CLog::IDD, &parent));
    bMade = true;
    listener.join();
    EXPECT_TRUE(WaitFor([&] { return log.m_LogList.GetItemCount() == 1; }, 1000));
    EXPECT_EQ(log.m_LogList.GetItemText(0, 1), "Accepted a connection from 127.0.0.1");
    fanOut.Flush();
    capture.Text();
}

TEST_F(LogTest, wipBoxTakesEnterAndEscapeItselfAndNothingReachesTheWindow)
{
    Open(ServerResources(), kServerLogVariant);
    SetMessageBoxHook([](const SMessageBox& box) { return RunMessageBox(box); });
    for (const WPARAM nKey : {VK_RETURN, VK_ESCAPE}) {
        auto pTimedOut =
            OnShown([] { return ShownWindow("WIP"); }, [&](HWND hBox) { PressKeyIn(hBox, nKey); });
        ClickButton(Print());
        EXPECT_FALSE(*pTimedOut) << nKey;
    }
    EXPECT_EQ(ShownWindow("WIP"), nullptr);
    EXPECT_TRUE(m_pWindow->m_Keys.empty());
}

TEST_F(LogTest, clearEmptiesTheListAndNewEntriesStartAtTheTop)
{
    Open(ServerResources(), kServerLogVariant);
    ClickButton(Clear());
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 0);
    AddEntries({"one", "two"});
    ClickButton(Clear());
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 0);
    AddEntries({"three"});
    ASSERT_EQ(m_pLog->m_LogList.GetItemCount(), 1);
    EXPECT_EQ(Message(0), "three");
}

TEST_F(LogTest, printAndSaveShowTheWipBoxEveryTimeAndChangeNothing)
{
    Open(ServerResources(), kServerLogVariant);
    AddEntries({"kept"});
    std::vector<SMessageBox> boxes;
    SetMessageBoxHook([&](const SMessageBox& box) {
        boxes.push_back(box);
        return IDOK;
    });
    ClickButton(Print());
    ClickButton(Save());
    ClickButton(Print());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].strCaption, "WIP");
    EXPECT_EQ(boxes[0].strText, "Print the log");
    EXPECT_EQ(boxes[0].nType, MB_ICONINFORMATION | MB_OK);
    EXPECT_EQ(boxes[0].pOwner, m_pLog);
    EXPECT_EQ(boxes[1].strText, "Save the log");
    EXPECT_EQ(boxes[2].strText, "Print the log");
    ASSERT_EQ(m_pLog->m_LogList.GetItemCount(), 1);
    EXPECT_EQ(Message(0), "kept");
}

TEST_F(LogTest, keepsOnlyTheNewestEntries)
{
    Open(ServerResources(), kServerLogVariant);
    std::vector<std::string> texts;
    for (int i = 0; i <= CLog::kMaxEntries + 1; ++i)
        texts.push_back(std::to_string(i));
    AddEntries(texts);
    ASSERT_EQ(m_pLog->m_LogList.GetItemCount(), CLog::kMaxEntries);
    EXPECT_EQ(Message(0), "2");
    EXPECT_EQ(Message(CLog::kMaxEntries - 1), std::to_string(CLog::kMaxEntries + 1));
}

TEST_F(LogTest, serverPageSwallowsEnterAndSendsEscapeToTheMainWindow)
{
    Open(ServerResources(), kServerLogVariant);
    AddEntries({"row"});
    PressKeyAt(List(), VK_RETURN);
    PressKeyAt(Clear(), VK_RETURN);
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 1);
    EXPECT_TRUE(m_pLog->IsWindowVisible());
    EXPECT_TRUE(m_pWindow->m_Keys.empty());
    PressKeyAt(List(), VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !m_pWindow->m_Keys.empty(); }));
    EXPECT_EQ(m_pWindow->m_Keys, std::vector<WPARAM>{VK_ESCAPE});
    EXPECT_TRUE(m_pLog->IsWindowVisible());
}

TEST_F(LogTest, clientPageKeepsTheDialogKeysButStaysShown)
{
    Open(ClientResources(), kClientLogVariant);
    EXPECT_EQ(m_pLog->GetDlgItem(1003), List());
    EXPECT_EQ(m_pLog->GetDlgItem(kServerLogVariant.nPrintId), nullptr);
    AddEntries({"row"});
    PressKeyAt(List(), VK_RETURN);
    PressKeyAt(List(), VK_ESCAPE);
    Settle();
    EXPECT_TRUE(m_pLog->IsWindowVisible());
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 1);
    EXPECT_TRUE(m_pWindow->m_Keys.empty());
    // Enter on the focused Clear button presses it.
    PressKeyAt(Clear(), VK_RETURN);
    EXPECT_EQ(m_pLog->m_LogList.GetItemCount(), 0);
    EXPECT_TRUE(m_pLog->IsWindowVisible());
}
