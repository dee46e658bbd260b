// SPDX-License-Identifier: GPL-3.0-or-later
// The layer's tests driven through the system's messages, as its input would send them.
#pragma once

#include "ListCtrl.h"
#include "TabCtrl.h"
#include "UiTypes.h"
#include "win/WindowThread.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs what is waiting in the thread's queue, through the layer's own pump.
inline void RunPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        PumpMessage(msg);
}

// The time allowed is only a bound for a condition that never comes.
inline bool WaitFor(const std::function<bool()>& condition, int nTimeoutMs = 30000)
{
    const ULONGLONG nEnd = ::GetTickCount64() + static_cast<ULONGLONG>(nTimeoutMs);
    for (;;) {
        RunPending();
        if (condition())
            return true;
        const ULONGLONG nNow = ::GetTickCount64();
        if (nNow >= nEnd)
            return false;
        // Another thread may bring the condition about without a message: look again soon.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                    static_cast<DWORD>(std::min<ULONGLONG>(nEnd - nNow, 10)),
                                    QS_ALLINPUT);
    }
}

inline std::string ControlText(HWND hControl)
{
    char cText[256] = {};
    ::GetWindowTextA(hControl, cText, sizeof cText);
    return cText;
}

// Replaces the control's text; the control tells its dialog as typing would.
inline void SetControlText(HWND hControl, const std::string& strText)
{
    ::SetWindowTextA(hControl, strText.c_str());
}

inline void ClickButton(HWND hButton)
{
    ::SendMessageA(hButton, BM_CLICK, 0, 0);
    RunPending();
}

// A left click at a point of the control's client area (a list's rows, a tab of the tab row).
inline void ClickAt(HWND hControl, POINT point)
{
    const LPARAM lPoint = MAKELPARAM(point.x, point.y);
    // The release is queued first: a control that tracks the mouse after the press waits for it.
    ::PostMessageA(hControl, WM_LBUTTONUP, 0, lPoint);
    ::SendMessageA(hControl, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    RunPending();
}

// Gives the control the keyboard's focus, its window made active first.
inline void FocusControl(HWND hControl)
{
    ::SetForegroundWindow(::GetAncestor(hControl, GA_ROOT));
    ::SetFocus(hControl);
}

inline bool HasFocusIn(HWND hWindow)
{
    const HWND hFocus = ::GetFocus();
    return hFocus != nullptr && (hFocus == hWindow || ::IsChild(hWindow, hFocus));
}

// A key pressed while the control has the focus: the key-down taken from the queue.
inline void PressKey(HWND hControl, WPARAM nVirtualKey)
{
    MSG msg{hControl, WM_KEYDOWN, nVirtualKey, 0, 0, {}};
    PumpMessage(msg);
    RunPending();
}

// False while a modal window other than this window's own holds the input: the system disables
// the owner.
inline bool TakesInput(HWND hWindow)
{
    return ::IsWindowEnabled(::GetAncestor(hWindow, GA_ROOT)) != FALSE;
}

inline HWND ShownWindow(const std::string& strCaption)
{
    const HWND hWnd = ::FindWindowA(nullptr, strCaption.c_str());
    return hWnd != nullptr && ::IsWindowVisible(hWnd) ? hWnd : nullptr;
}

inline HWND FocusIn(HWND hWindow)
{
    const HWND hFocus = ::GetFocus();
    return hFocus != nullptr && ::IsChild(hWindow, hFocus) ? hFocus : hWindow;
}

// Runs the action from inside the modal loop that shows the window the finder finds: a timer of
// the thread looks for it. The flag says whether the window had to be closed because it was
// still open long after.
inline std::shared_ptr<bool> OnShown(std::function<HWND()> find, std::function<void(HWND)> action)
{
    struct SWatch {
        std::function<HWND()> find;
        std::function<void(HWND)> action;
        std::shared_ptr<bool> pTimedOut;
        HWND hShown = nullptr;
        ULONGLONG nShownAt = 0;
    };
    static std::vector<std::pair<UINT_PTR, std::unique_ptr<SWatch>>> watches;
    auto pWatch = std::make_unique<SWatch>(
        SWatch{std::move(find), std::move(action), std::make_shared<bool>(false)});
    std::shared_ptr<bool> pTimedOut = pWatch->pTimedOut;
    const TIMERPROC look = [](HWND, UINT, UINT_PTR nTimer, DWORD) {
        for (auto it = watches.begin(); it != watches.end(); ++it) {
            if (it->first != nTimer)
                continue;
            SWatch& watch = *it->second;
            if (watch.hShown == nullptr) {
                const HWND hFound = watch.find();
                watch.hShown = hFound != nullptr && ::IsWindowVisible(hFound) ? hFound : nullptr;
                if (watch.hShown == nullptr)
                    return;
                watch.nShownAt = ::GetTickCount64();
                watch.action(watch.hShown);
            } else if (!::IsWindow(watch.hShown) || !::IsWindowVisible(watch.hShown)) {
                ::KillTimer(nullptr, nTimer);
                watches.erase(it);
            } else if (::GetTickCount64() - watch.nShownAt > 30000) {
                *watch.pTimedOut = true;
                ::PostMessageA(watch.hShown, WM_CLOSE, 0, 0);
            }
            return;
        }
    };
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 10, look);
    watches.emplace_back(nTimer, std::move(pWatch));
    return pTimedOut;
}

// Gives the time that "nothing happened" checks wait for what should not come.
inline void Settle(int nMs = 50)
{
    const ULONGLONG nEnd = ::GetTickCount64() + static_cast<ULONGLONG>(nMs);
    WaitFor([nEnd] { return ::GetTickCount64() >= nEnd; }, nMs + 1000);
}

// A plain window of the system's making, child of the given one if any.
inline HWND NewPlainWindow(HWND hParent = nullptr)
{
    const DWORD dwStyle = hParent != nullptr ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    return ::CreateWindowExW(0, L"STATIC", L"", dwStyle, 0, 0, 100, 100, hParent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

inline void DestroyPlainWindow(HWND hWnd)
{
    ::DestroyWindow(hWnd);
}

// Makes the window the active one and waits until it is.
inline bool ActivateWindow(HWND hWindow)
{
    ::SetForegroundWindow(hWindow);
    ::SetActiveWindow(hWindow);
    return WaitFor([hWindow] { return ::GetActiveWindow() == hWindow; });
}

// Where the keys go when the tab row has the focus: the system's tab control itself.
inline HWND TabRowOf(const CTabCtrl& tabs)
{
    return tabs.GetSafeHwnd();
}

// The window's place in its parent's client area.
inline RECT ChildRect(HWND hWnd)
{
    RECT rect{};
    ::GetWindowRect(hWnd, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Asks the window for its context menu, as a right-click at a point of its client area, or the
// keyboard's menu key (Shift+F10), would.
inline void ContextMenuAt(HWND hWnd, POINT point)
{
    ::ClientToScreen(hWnd, &point);
    ::SendMessageW(hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd),
                   MAKELPARAM(point.x, point.y));
}

inline void ContextMenuKey(HWND hWnd)
{
    ::SendMessageW(hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hWnd), static_cast<LPARAM>(-1));
}

inline bool ListTakesManyRows(const CListCtrl& list)
{
    return (::GetWindowLongW(list.GetSafeHwnd(), GWL_STYLE) & LVS_SINGLESEL) == 0;
}

inline bool HasMinimiseOrMaximiseBox(HWND hWnd)
{
    return (::GetWindowLongW(hWnd, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) != 0;
}

// The name that screen readers are given for the control: the system's accessibility names a
// control without a caption of its own by the label just before it, without its mnemonic mark.
inline std::string AccessibleName(HWND hControl)
{
    const HWND hLabel = ::GetWindow(hControl, GW_HWNDPREV);
    char cClass[16] = {};
    if (hLabel == nullptr || ::GetClassNameA(hLabel, cClass, sizeof cClass) == 0 ||
        ::lstrcmpiA(cClass, "Static") != 0)
        return {};
    std::string strName = ControlText(hLabel);
    std::erase(strName, '&');
    return strName;
}

inline bool IsMinimised(HWND hWnd)
{
    return ::IsIconic(hWnd) != FALSE;
}

inline HWND ParentOf(HWND hWnd)
{
    return ::GetParent(hWnd);
}

inline bool ListHasSelection(const CListCtrl& list)
{
    return ::SendMessageA(list.GetSafeHwnd(), LVM_GETSELECTEDCOUNT, 0, 0) > 0;
}

// The row at the top of the list's visible rows.
inline int ListTopRow(const CListCtrl& list)
{
    return static_cast<int>(::SendMessageA(list.GetSafeHwnd(), LVM_GETTOPINDEX, 0, 0));
}
