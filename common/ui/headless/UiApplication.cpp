// SPDX-License-Identifier: GPL-3.0-or-later
// What the application does without a toolkit: nothing to start but the window thread's queue,
// and the termination signals read by a thread of their own, which posts the close.
#include "UiApplication.h"

#include "Wnd.h"
#include "headless/MessageQueue.h"

#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace
{

// A signal handler may only write to a descriptor; the signals' thread reads the other end.
int g_nSignalFds[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_nSignalFds[1], &c, 1);
}

void SetSignalHandler(void (*pHandler)(int))
{
    struct sigaction action {
    };
    action.sa_handler = pHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

struct CUiApplication::SState {
    std::thread SignalThread;
};

CUiApplication::CUiApplication(int&, char**, const char*) : m_pState(std::make_unique<SState>())
{
    CMessageQueue::Instance().SetWindowThread();
}

CUiApplication::~CUiApplication()
{
    if (!m_pState->SignalThread.joinable())
        return;
    SetSignalHandler(SIG_DFL);
    // The signals' thread ends when the writing end is closed.
    ::close(g_nSignalFds[1]);
    m_pState->SignalThread.join();
    ::close(g_nSignalFds[0]);
    g_nSignalFds[0] = g_nSignalFds[1] = -1;
}

bool CUiApplication::IsHeadless()
{
    return true;
}

void CUiApplication::CloseOnTerminationSignals(CWnd* pMainWnd)
{
    if (m_pState->SignalThread.joinable() || ::pipe2(g_nSignalFds, O_CLOEXEC) != 0)
        return;
    // The window is looked at on the window thread, where it may have gone meanwhile.
    m_pState->SignalThread = std::thread([pMainWnd] {
        char c = 0;
        while (::read(g_nSignalFds[0], &c, 1) == 1) {
            CMessageQueue::Instance().Post(nullptr, [pMainWnd] {
                if (pMainWnd != nullptr && CWnd::GetMainWnd() == pMainWnd)
                    pMainWnd->PostMessage(WM_CLOSE);
            });
        }
    });
    SetSignalHandler(OnTerminationSignal);
}
