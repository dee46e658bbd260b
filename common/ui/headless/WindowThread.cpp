// SPDX-License-Identifier: GPL-3.0-or-later
// The window thread without a toolkit: messages and calls that other threads post or send to a
// window travel through the window thread's queue, and a thread that waits for the window
// thread runs them.
#include "headless/MessageQueue.h"
#include "headless/WndState.h"

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(m_pState->pLink->Mutex);
    if (m_pState->pLink->pWindow == nullptr)
        return FALSE;
    CMessageQueue::Instance().Post(m_pState->pLink, [this, message, wParam, lParam] {
        MSG msg = MakeMessage(this, message, wParam, lParam);
        if (!WalkPreTranslateTree(&msg))
            SendMessage(msg.message, msg.wParam, msg.lParam);
    });
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
    return CMessageQueue::Instance().IsWindowThread();
}

bool CWnd::PostCall(const std::function<void()>& call)
{
    std::lock_guard lock(m_pState->pLink->Mutex);
    if (m_pState->pLink->pWindow == nullptr)
        return false;
    CMessageQueue::Instance().Post(m_pState->pLink, call);
    return true;
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
    {
        std::lock_guard lock(m_pState->pLink->Mutex);
        if (m_pState->pLink->pWindow == nullptr)
            return false;
        CMessageQueue::Instance().Post(m_pState->pLink, call, pState);
    }
    std::unique_lock lock(pState->Mutex);
    pState->Finished.wait(lock, [&] { return pState->bFinished; });
    return pState->bRan;
}

DWORD WaitForSingleObjectPumping(HANDLE hHandle, DWORD dwMilliseconds)
{
    return CMessageQueue::Instance().RunUntilSignalled(hHandle, dwMilliseconds);
}

void RunWindowMessages(DWORD dwMilliseconds)
{
    CMessageQueue::Instance().RunUntilSignalled(nullptr, dwMilliseconds);
}
