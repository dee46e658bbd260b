// SPDX-License-Identifier: GPL-3.0-or-later
// What a window object and its window know of each other, under one lock, so that a post or
// send from another thread never reaches a window that has gone; and the caller's side of a call
// sent to the window thread.
#pragma once

#include "UiTypes.h"

#include <condition_variable>
#include <mutex>

struct SWndLink {
    std::mutex Mutex;
    CWnd* pWnd = nullptr;
    SWindow* pWindow = nullptr;
};

struct SCallState {
    std::mutex Mutex;
    std::condition_variable Finished;
    bool bFinished = false;
    bool bRan = false;
};
