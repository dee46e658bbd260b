// SPDX-License-Identifier: GPL-3.0-or-later
// What the windows held in memory do in their own right: a message box is a line on standard
// error answered OK, even one that another thread asks for; the window thread sleeps while
// nothing is queued and wakes for what another thread posts; a termination signal closes the
// main window through WM_CLOSE; a modal dialog keeps the input to itself.
#include "../ExchangeDialog.h"
#include "LayerDriver.h"
#include "MessageBox.h"
#include "ThreadState.h"
#include "TraceCapture.h"
#include "UiApplication.h"

#include <atomic>
#include <csignal>
#include <thread>

namespace
{

// Counts the closes it is asked for, and stays open.
class CClosingDialog : public CExchangeDialog
{
public:
    int m_nCloses = 0;

protected:
    void OnClose() override { ++m_nCloses; }
};

class HeadlessLayerTest : public CExchangeDialogTest
{
};

} // namespace

TEST_F(HeadlessLayerTest, aMessageBoxIsALineOnStandardErrorAnsweredOkFromAnyThread)
{
    EXPECT_TRUE(CUiApplication::IsHeadless());
    CTraceCapture capture;
    EXPECT_EQ(MessageBox(&m_Dialog, "Failed to start TCP/IP", "Info", MB_ICONSTOP | MB_OK), IDOK);
    std::atomic<int> nFromThread{0};
    std::thread asker([&] {
        nFromThread = MessageBox(&m_Dialog, "No dial-up connection", "Information",
                                 MB_ICONINFORMATION | MB_OK);
    });
    // The box of another thread's is shown on the window thread, which the test runs here.
    ASSERT_TRUE(WaitFor([&] { return nFromThread != 0; }));
    asker.join();
    EXPECT_EQ(nFromThread.load(), IDOK);
    EXPECT_EQ(capture.Text(), "Info: Failed to start TCP/IP\nInformation: No dial-up connection\n");
}

TEST_F(HeadlessLayerTest, theWindowThreadSleepsUntilAnotherThreadPostsToIt)
{
    const ThreadId nWindowThread = KernelThreadId();
    std::atomic<bool> bSawSleep{false};
    bool bPosted = false;
    std::thread poster([&] {
        bSawSleep = WaitUntilThreadSleeps(nWindowThread);
        m_Dialog.PostCall([&] { bPosted = true; });
    });
    CMessageQueue::Instance().RunUntil([&] { return bPosted; });
    poster.join();
    EXPECT_TRUE(bSawSleep);
}

TEST_F(HeadlessLayerTest, aTerminationSignalClosesTheMainWindow)
{
    CClosingDialog dialog;
    ASSERT_TRUE(dialog.Create(kDialogId));
    int argc = 1;
    char szName[] = "HeadlessLayerTest";
    char* argv[] = {szName, nullptr};
    CUiApplication application(argc, argv);
    CWnd::SetMainWnd(&dialog);
    application.CloseOnTerminationSignals(&dialog);
    for (const int nSignal : {SIGTERM, SIGINT})
        ::raise(nSignal);
    EXPECT_TRUE(WaitFor([&] { return dialog.m_nCloses == 2; }));
    CWnd::SetMainWnd(&m_Dialog);
}

TEST_F(HeadlessLayerTest, aModalDialogKeepsTheInputToItself)
{
    CExchangeDialog about;
    bool bOwnerTookClick = true;
    const auto pTimedOut = OnShown([&] { return about.GetSafeHwnd(); },
                                   [&](HWND hAbout) {
                                       ClickButton(Item(kButtonGo));
                                       bOwnerTookClick = m_Dialog.m_nGo != 0;
                                       ClickButton(about.GetDlgItem(kButtonGo));
                                       PressKey(FocusIn(hAbout), VK_ESCAPE);
                                   });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    EXPECT_FALSE(*pTimedOut);
    EXPECT_FALSE(bOwnerTookClick);
    EXPECT_EQ(about.m_nGo, 1);
    ClickButton(Item(kButtonGo));
    EXPECT_EQ(m_Dialog.m_nGo, 1);
}
