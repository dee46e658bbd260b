// SPDX-License-Identifier: GPL-3.0-or-later
// The layer's tests driven through the input of the windows held in memory.
#pragma once

#include "ListCtrl.h"
#include "TabCtrl.h"
#include "headless/Input.h"
#include "headless/MessageQueue.h"
#include "headless/Window.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

inline void RunPending()
{
    CMessageQueue::Instance().RunPending();
}

// The time allowed is only a bound for a condition that never comes.
inline bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs = 30000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        RunPending();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        // Another thread may bring the condition about without a message: look again soon.
        RunWindowMessages(10);
    }
}

// Gives the time that "nothing happened" checks wait for what should not come.
inline void Settle(int nMs = 50)
{
    RunWindowMessages(static_cast<DWORD>(nMs));
}

inline std::string ControlText(HWND hControl)
{
    return hControl->strText;
}

// Replaces the control's text; the control tells its dialog as typing would.
inline void SetControlText(HWND hControl, const std::string& strText)
{
    hControl->SetText(strText);
}

inline void ClickAt(HWND hControl, POINT point)
{
    InputPress(hControl, point);
}

inline void ClickButton(HWND hButton)
{
    ClickAt(hButton, POINT{1, 1});
}

inline void FocusControl(HWND hControl)
{
    SWindow::Focus() = hControl;
}

inline bool HasFocusIn(HWND hWindow)
{
    SWindow* pFocus = SWindow::Focus();
    return pFocus != nullptr && (pFocus == hWindow || hWindow->IsAncestorOf(pFocus));
}

// The focused control of a window, or the window: where the user's keys go.
inline HWND FocusIn(HWND hWindow)
{
    return HasFocusIn(hWindow) ? SWindow::Focus() : hWindow;
}

inline void PressKey(HWND hControl, WPARAM nVirtualKey)
{
    InputKey(hControl, nVirtualKey);
}

inline bool TakesInput(HWND hWindow)
{
    return hWindow->TakesInput();
}

// The shown top-level window with that caption, or null.
inline HWND ShownWindow(const std::string& strCaption)
{
    for (SWindow* pWindow : SWindow::TopLevels()) {
        if (pWindow->IsVisible() && pWindow->strText == strCaption)
            return pWindow;
    }
    return nullptr;
}

// What OnShown looks for, and what it found.
struct SShownLook {
    std::function<HWND()> Find;
    std::function<void(HWND)> Action;
    std::shared_ptr<bool> pTimedOut;
    HWND hShown = nullptr;
    std::chrono::steady_clock::time_point CloseAt{};
};

inline bool IsShownTopLevel(HWND hWindow)
{
    return std::ranges::find(SWindow::TopLevels(), hWindow) != SWindow::TopLevels().end() &&
           hWindow->IsVisible();
}

// One look, on a turn of the window thread's queue; the next is queued until the window has been
// found and has gone again.
inline void LookForShown(const std::shared_ptr<SShownLook>& pLook)
{
    const auto now = std::chrono::steady_clock::now();
    if (pLook->hShown == nullptr) {
        HWND hFound = pLook->Find();
        if (hFound != nullptr && hFound->IsVisible()) {
            pLook->hShown = hFound;
            pLook->CloseAt = now + std::chrono::seconds(30);
            pLook->Action(hFound);
        }
    } else if (!IsShownTopLevel(pLook->hShown)) {
        return;
    } else if (now >= pLook->CloseAt) {
        *pLook->pTimedOut = true;
        if (CWnd* pWnd = CWnd::FromHandle(pLook->hShown))
            pWnd->SendMessage(WM_CLOSE);
        return;
    }
    Sleep(1);
    CMessageQueue::Instance().Post(nullptr, [pLook] { LookForShown(pLook); });
}

// Runs the action from inside the modal loop that shows the window the finder finds. A window
// still open long after is closed, so that a failing test ends; the flag says whether that was
// needed.
inline std::shared_ptr<bool> OnShown(std::function<HWND()> find, std::function<void(HWND)> action)
{
    auto pLook = std::make_shared<SShownLook>(
        SShownLook{std::move(find), std::move(action), std::make_shared<bool>(false)});
    CMessageQueue::Instance().Post(nullptr, [pLook] { LookForShown(pLook); });
    return pLook->pTimedOut;
}

// A plain window of the layer's own making, child of the given one if any.
inline HWND NewPlainWindow(HWND hParent = nullptr)
{
    return new SWindow(EWindowKind::Plain, hParent);
}

// Destroys the window as the system would, under the object that owns it.
inline void DestroyPlainWindow(HWND hWnd)
{
    delete hWnd;
}

// Makes the window the one whose controls have the focus.
inline bool ActivateWindow(HWND hWindow)
{
    SWindow* pTarget = hWindow->FocusTarget();
    SWindow::Focus() = pTarget != nullptr ? pTarget : hWindow;
    return true;
}

// Where the keys go when the tab row has the focus: the tab control itself.
inline HWND TabRowOf(const CTabCtrl& tabs)
{
    return tabs.GetSafeHwnd();
}

// The window's place in its parent's client area.
inline RECT ChildRect(HWND hWnd)
{
    return hWnd->rc;
}

inline bool IsMinimised(HWND hWnd)
{
    return hWnd->bMinimized;
}

inline HWND ParentOf(HWND hWnd)
{
    return hWnd->pParent;
}

inline bool ListHasSelection(const CListCtrl& list)
{
    return list.GetSafeHwnd()->nSelectedRow >= 0;
}
