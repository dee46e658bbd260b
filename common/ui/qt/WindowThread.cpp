// SPDX-License-Identifier: GPL-3.0-or-later
// The window thread on Linux: messages and calls that other threads post or send to a window
// travel through its widget's bridge, and a thread that waits for the window thread runs them.
#include "Kernel.h"
#include "qt/WndState.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <chrono>

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(m_pState->pLink->Mutex);
    if (m_pState->pLink->pBridge == nullptr)
        return FALSE;
    CWndBridge::PostMessageEvent(m_pState->pLink->pBridge,
                                 MakeMessage(this, message, wParam, lParam));
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    SendCall([&] { lResult = WindowProc(message, wParam, lParam); });
    return lResult;
}

bool CWnd::IsOnWindowThread()
{
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool CWnd::SState::PostCallEvent(const std::function<void()>& call,
                                 std::shared_ptr<SCallState> pState)
{
    std::lock_guard lock(pLink->Mutex);
    if (pLink->pBridge == nullptr)
        return false;
    CWndBridge::PostCallEvent(pLink->pBridge, call, std::move(pState));
    return true;
}

bool CWnd::PostCall(const std::function<void()>& call)
{
    return m_pState->PostCallEvent(call, std::make_shared<SCallState>());
}

bool CWnd::SendCall(const std::function<void()>& call)
{
    if (IsOnWindowThread()) {
        if (!IsWindow())
            return false;
        call();
        return true;
    }
    auto pState = std::make_shared<SCallState>();
    if (!m_pState->PostCallEvent(call, pState))
        return false;
    std::unique_lock lock(pState->Mutex);
    pState->Finished.wait(lock, [&] { return pState->bFinished; });
    return pState->bRan;
}

DWORD WaitForSingleObjectPumping(HANDLE hHandle, DWORD dwMilliseconds)
{
    constexpr DWORD kSliceMs = 10;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const DWORD dwResult = WaitForSingleObject(hHandle, kSliceMs);
        if (dwResult != WAIT_TIMEOUT)
            return dwResult;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (dwMilliseconds != INFINITE && elapsed.count() >= dwMilliseconds)
            return WAIT_TIMEOUT;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void RunWindowMessages(DWORD dwMilliseconds)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(dwMilliseconds));
}
