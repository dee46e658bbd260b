// SPDX-License-Identifier: GPL-3.0-or-later
// The window object's part without a toolkit: the link to its window, shared by the window's
// operations and the window thread's queue.
#pragma once

#include "Wnd.h"
#include "headless/Window.h"

struct CWnd::SState {
    std::shared_ptr<SWndLink> pLink = std::make_shared<SWndLink>();
    DWORD dwStyle = 0;
    bool bOwnsWindow = false;

    SWindow* Window() const
    {
        std::lock_guard lock(pLink->Mutex);
        return pLink->pWindow;
    }
};
