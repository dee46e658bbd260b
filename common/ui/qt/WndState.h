// SPDX-License-Identifier: GPL-3.0-or-later
// The window object's part on Linux: its widget and the link to the widget's bridge, shared by
// the window's operations and the window thread's calls.
#pragma once

#include "Wnd.h"
#include "qt/WndBridge.h"

#include <QPointer>
#include <QWidget>

struct CWnd::SState {
    QPointer<QWidget> pWidget;
    std::shared_ptr<SWndLink> pLink = std::make_shared<SWndLink>();
    DWORD dwStyle = 0;
    bool bOwnsWidget = false;
    bool PostCallEvent(const std::function<void()>& call, std::shared_ptr<SCallState> pState);
};
