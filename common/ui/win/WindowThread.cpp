// SPDX-License-Identifier: GPL-3.0-or-later
// The window thread on Windows: calls that other threads post or send to a window travel as
// registered messages, and a thread that waits for the window thread runs them.
#include "win/WindowThread.h"

#include "Wnd.h"

#include <memory>

namespace
{

DWORD g_dwWindowThread = 0;

// Runs what other threads posted or sent to this thread's windows; no input from the user.
void RunPostedMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE))
        PumpMessage(msg);
}

} // namespace

UINT CallMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"Tarnlow.PostedCall");
    return message;
}

UINT SentCallMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"Tarnlow.SentCall");
    return message;
}

void RunPostedCall(const MSG& msg)
{
    std::unique_ptr<std::function<void()>> pCall(
        reinterpret_cast<std::function<void()>*>(msg.lParam));
    if (CWnd::FromHandle(msg.hwnd) != nullptr)
        (*pCall)();
}

void NoteWindowThread()
{
    if (g_dwWindowThread == 0)
        g_dwWindowThread = ::GetCurrentThreadId();
}

DWORD WaitForSingleObjectPumping(HANDLE hHandle, DWORD dwMilliseconds)
{
    const ULONGLONG nStart = ::GetTickCount64();
    for (;;) {
        DWORD dwLeft = INFINITE;
        if (dwMilliseconds != INFINITE) {
            const ULONGLONG nElapsed = ::GetTickCount64() - nStart;
            if (nElapsed >= dwMilliseconds)
                return ::WaitForSingleObject(hHandle, 0);
            dwLeft = static_cast<DWORD>(dwMilliseconds - nElapsed);
        }
        const DWORD dwResult = ::MsgWaitForMultipleObjects(1, &hHandle, FALSE, dwLeft,
                                                           QS_POSTMESSAGE | QS_SENDMESSAGE);
        if (dwResult != WAIT_OBJECT_0 + 1)
            return dwResult;
        RunPostedMessages();
    }
}

void RunWindowMessages(DWORD dwMilliseconds)
{
    const ULONGLONG nEnd = ::GetTickCount64() + dwMilliseconds;
    MSG msg;
    for (ULONGLONG nNow = ::GetTickCount64(); nNow < nEnd; nNow = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nEnd - nNow),
                                    QS_ALLINPUT);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            PumpMessage(msg);
    }
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindow() ? ::PostMessageW(GetSafeHwnd(), message, wParam, lParam) : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindow() ? ::SendMessageW(GetSafeHwnd(), message, wParam, lParam) : 0;
}

bool CWnd::IsOnWindowThread()
{
    return ::GetCurrentThreadId() == g_dwWindowThread;
}

bool CWnd::PostCall(const std::function<void()>& call)
{
    auto pCall = std::make_unique<std::function<void()>>(call);
    if (!IsWindow() ||
        !::PostMessageW(GetSafeHwnd(), CallMessage(), 0, reinterpret_cast<LPARAM>(pCall.get())))
        return false;
    pCall.release();
    return true;
}

bool CWnd::SendCall(const std::function<void()>& call)
{
    if (!IsWindow())
        return false;
    if (IsOnWindowThread()) {
        call();
        return true;
    }
    return ::SendMessageW(GetSafeHwnd(), SentCallMessage(), 0, reinterpret_cast<LPARAM>(&call)) ==
           1;
}

void PumpMessage(MSG& msg)
{
    if (msg.message == CallMessage()) {
        RunPostedCall(msg);
        return;
    }
    // Every queued message is offered up the window's parents first, as the Qt port does; the
    // hooks themselves pick the messages they take.
    if (CWnd::WalkPreTranslateTree(&msg))
        return;
    HWND hRoot = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (hRoot != nullptr && ::IsDialogMessageW(hRoot, &msg))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}
