// SPDX-License-Identifier: GPL-3.0-or-later
// CWndBridge: the Qt object that ties a widget to its window object. It lives as a child of the
// widget, receives the window's posted messages and calls on the window thread, and turns the
// widget's close requests and context menus into the window's messages.
#pragma once

#include "UiTypes.h"

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// The caller's side of a call posted to a window's thread.
struct SCallState {
    std::mutex Mutex;
    std::condition_variable Finished;
    bool bFinished = false;
    bool bRan = false;
};

// What a window object and its widget's bridge know of each other, under one lock, so that a
// post or send from another thread never reaches a window that has gone.
struct SWndLink {
    std::mutex Mutex;
    CWnd* pWnd = nullptr;
    class CWndBridge* pBridge = nullptr;
};

class CWndBridge : public QObject
{
public:
    CWndBridge(QWidget* pWidget, std::shared_ptr<SWndLink> pLink);
    ~CWndBridge() override;

    CWnd* Wnd() const;
    // The bridge of a widget, if it has one.
    static CWndBridge* Of(const QWidget* pWidget);
    // Queue a message or a call for the window's thread; the caller holds the link's lock.
    static void PostMessageEvent(CWndBridge* pBridge, const MSG& msg);
    static void PostCallEvent(CWndBridge* pBridge, const std::function<void()>& call,
                              std::shared_ptr<SCallState> pState);

protected:
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    std::shared_ptr<SWndLink> m_pLink;
};
