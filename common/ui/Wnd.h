// SPDX-License-Identifier: GPL-3.0-or-later
// CWnd: a window of the windowing layer over one window of the platform's: the system's own on
// Windows, a Qt widget elsewhere (HWND names either). It carries the library's message model: a
// hook that sees every key-down before dispatch (PreTranslateMessage, walked from the window that
// has the key up through its parents), posted and sent messages, and calls made from another
// thread that run on the window's thread while the caller waits.
#pragma once

#include "UiTypes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// Waits for a kernel object while the window thread goes on running the messages and calls that
// other threads post or send to its windows (not the user's input), so that a thread which waits
// for the window thread can finish.
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

    // The platform's window; null before it is made and once it is gone.
    HWND GetSafeHwnd() const;
    bool IsWindow() const { return GetSafeHwnd() != nullptr; }
    // The window object of a window, or of its nearest ancestor that has one (on Windows, inside
    // the same top-level window).
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandleOrAncestor(HWND hWnd);

    // Takes over a window made elsewhere (a dialog's control), without owning it.
    void Attach(HWND hWnd);

    CWnd* GetParent() const;
    // This window, or the first of its parents that is not a child window (WS_CHILD): its
    // top-level window. A child whose parents run out is its own answer.
    CWnd* GetTopLevelWindow();
    DWORD GetStyle() const;
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
    // Makes this object the owner of a window it made, with the style it was made with (which
    // the system keeps itself on Windows).
    void AttachOwned(HWND hWnd, DWORD dwStyle);
    void Detach();
    // Hands a message to WindowProc; true when a handler took it (it did not call Default). The
    // handling that Default runs is the given one, else the system's own (none elsewhere).
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                  const std::function<LRESULT()>& defaultHandling = {});
    // Lets the platform handle the message being handled now, as if no handler had taken it.
    void Default();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual void OnClose();
    // A context menu asked for at a screen point, (-1, -1) from the keyboard; true if handled.
    virtual BOOL OnContextMenu(CWnd* pWnd, POINT point);
    // A notification that this control sent to its parent, handed back to it.
    virtual BOOL OnChildNotify(const NMHDR* pHeader);

private:
    // The message being handled, for Default.
    struct SHandledMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const std::function<LRESULT()>* pDefault;
        bool bDefault;
        LRESULT lDefault;
    };
    // A message that the platform handles before any handler (the window thread's calls on
    // Windows): whether it was taken, none for the others.
    std::optional<bool> TakePlatformMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                            LRESULT& lResult);
    LRESULT TakenOrDefault(BOOL bTaken);
    // The system's own handling of the message, where no other is given.
    LRESULT SystemDefault(const SHandledMessage& handled);

    // The platform's part: the window's handle and what ties it to this object.
    struct SState;
    std::unique_ptr<SState> m_pState;
    SHandledMessage* m_pHandled = nullptr;
};
