// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless/Input.h"

#include "Wnd.h"
#include "headless/Window.h"

namespace
{

// The window object of a window or of an ancestor inside the same top-level window: a dialog is
// a top-level window of its own, and its keys never reach its owner's hooks.
CWnd* WindowInSameTopLevel(SWindow* pWindow)
{
    for (; pWindow != nullptr; pWindow = pWindow->pParent) {
        if (CWnd* pWnd = CWnd::FromHandle(pWindow))
            return pWnd;
    }
    return nullptr;
}

// The next window after this one that takes the focus, in the order the windows were made,
// inside its top-level window, round to the first.
SWindow* NextInFocusOrder(SWindow* pWindow)
{
    std::vector<SWindow*> order;
    std::vector<SWindow*> pending{pWindow->TopLevel()};
    while (!pending.empty()) {
        SWindow* pNext = pending.back();
        pending.pop_back();
        if (pNext->TakesFocus())
            order.push_back(pNext);
        pending.insert(pending.end(), pNext->Children.rbegin(), pNext->Children.rend());
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] == pWindow)
            return order[(i + 1) % order.size()];
    }
    return order.empty() ? nullptr : order.front();
}

} // namespace

void InputPress(HWND hWindow, POINT point)
{
    if (!hWindow->TakesInput())
        return;
    if (hWindow->TakesFocus())
        SWindow::Focus() = hWindow;
    if (!hWindow->PressFilter || !hWindow->PressFilter(point))
        hWindow->OwnPress(point);
}

void InputKey(HWND hWindow, WPARAM nVirtualKey)
{
    if (!hWindow->TakesInput())
        return;
    if (CWnd* pWnd = WindowInSameTopLevel(hWindow)) {
        MSG msg = MakeMessage(pWnd, WM_KEYDOWN, nVirtualKey, 0);
        if (CWnd::WalkPreTranslateTree(&msg))
            return;
    }
    if (nVirtualKey != VK_TAB) {
        hWindow->OwnKey(nVirtualKey);
        return;
    }
    if (SWindow* pNext = NextInFocusOrder(hWindow))
        SWindow::Focus() = pNext;
}
