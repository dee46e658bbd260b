// SPDX-License-Identifier: GPL-3.0-or-later
// CWnd: a window of the windowing layer over one Qt widget. It carries the library's message
// model: a hook that sees every key-down before dispatch (PreTranslateMessage, walked from the
// window that has the key up through its parents), posted and sent messages, and calls made from
// another thread that run on the window's thread while the caller waits.
#pragma once

#include "UiTypes.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class CWnd;

struct SWndLink;
struct SCallState;

// Waits for a kernel object while the window thread goes on running the messages and calls that
// other threads post to its windows (not the user's input), so that a thread which waits for
// the window thread can finish.
DWORD WaitForSingleObjectPumping(HANDLE hHandle, DWORD dwMilliseconds);
// Runs the window thread's messages for about that long.
void RunWindowMessages(DWORD dwMilliseconds);

class CWnd
{
public:
    CWnd();
    // Destroys the window if this object made it.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    QWidget* GetWidget() const { return m_pWidget; }
    bool IsWindow() const { return m_pWidget != nullptr; }
    // The window object of a widget, or of its nearest ancestor that has one.
    static CWnd* FromWidget(const QWidget* pWidget);
    static CWnd* FromWidgetOrAncestor(const QWidget* pWidget);

    // Takes over a widget made elsewhere (a dialog's control), without owning it.
    void Attach(QWidget* pWidget);

    CWnd* GetParent() const;
    // This window, or the first of its parents that is not a child window (WS_CHILD): its
    // top-level window. A child whose parents run out is its own answer.
    CWnd* GetTopLevelWindow();
    DWORD GetStyle() const { return m_dwStyle; }
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL SetWindowPos(int x, int y, int cx, int cy, UINT nFlags);
    CWnd* SetFocus();
    void GetClientRect(RECT* pRect) const;
    void ClientToScreen(POINT* pPoint) const;
    void ClientToScreen(RECT* pRect) const;
    void SetWindowText(const std::string& strText);
    std::string GetWindowText() const;
    void SetIcon(HICON hIcon, BOOL bBigIcon);

    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Runs the call on the window's thread; from another thread the caller waits until it has
    // run. False when the window went away before the call could run.
    bool SendCall(const std::function<void()>& call);
    // Queues the call to run on the window's thread and returns at once; false when the window
    // has gone or is not made yet.
    virtual bool PostCall(const std::function<void()>& call);
    static bool IsOnWindowThread();
    // The application's main window: what a modal dialog or box without an owner belongs to.
    static void SetMainWnd(CWnd* pWnd);
    static CWnd* GetMainWnd();

    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Offers the message to its window and each parent in turn, up to its top-level window;
    // true once one has taken it.
    static BOOL WalkPreTranslateTree(MSG* pMsg);

protected:
    // Makes this object the owner of a new widget.
    void AttachOwned(QWidget* pWidget, DWORD dwStyle);
    void SetStyle(DWORD dwStyle) { m_dwStyle = dwStyle; }

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual void OnClose();
    // A context menu asked for at a screen point, (-1, -1) from the keyboard; true if handled.
    virtual BOOL OnContextMenu(CWnd* pWnd, POINT point);

private:
    friend class CWndBridge;
    void Detach();
    bool PostCallEvent(const std::function<void()>& call, std::shared_ptr<SCallState> pState);

    QPointer<QWidget> m_pWidget;
    std::shared_ptr<SWndLink> m_pLink;
    DWORD m_dwStyle = 0;
    bool m_bOwnsWidget = false;
};
