// SPDX-License-Identifier: GPL-3.0-or-later
// SWindow: a window without a toolkit, held in memory: its place in the tree of windows, its
// text, style and rectangle, and what its kind of control keeps (a list's columns, rows and
// selection, a tab row's tabs). Only the window thread touches it; a window destroys its
// children with it, and its window object then finds it gone.
#pragma once

#include "headless/WndLink.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class EWindowKind {
    Plain,
    Dialog,
    Button,
    Edit,
    Static,
    Icon,
    ListView,
    TabControl,
};

struct SWindow {
    SWindow(EWindowKind kind, SWindow* pParent);
    ~SWindow();
    SWindow(const SWindow&) = delete;
    SWindow& operator=(const SWindow&) = delete;

    // Shown, and so are all its parents.
    bool IsVisible() const;
    // Takes part in the keyboard's order: a control that is shown and enabled.
    bool TakesFocus() const;
    bool IsAncestorOf(const SWindow* pWindow) const;
    // The direct child with the id, or null.
    SWindow* Child(int nId) const;
    // Itself, or the first window under it that takes the focus; null when none does.
    SWindow* FocusTarget();
    SWindow* TopLevel();
    // False while a modal dialog other than its own top-level window runs.
    bool TakesInput();
    // Replaces the text; an edit tells its dialog of the change, as typing would.
    void SetText(const std::string& strNewText);

    // The window that has the keyboard's focus, if any.
    static SWindow*& Focus();
    // The windows without a parent, in the order they were made.
    static std::vector<SWindow*>& TopLevels();
    // The running modal dialogs' windows, the innermost last.
    static std::vector<SWindow*>& Modals();

    // A list view's row, all its columns or its first only (the part a press selects it by),
    // and the row at a point of its client area (-1 for none); a tab control's tab, and the
    // tab at a point.
    RECT RowRect(int nRow, bool bFirstColumnOnly) const;
    int RowAt(POINT point) const;
    RECT TabRect(int nTab) const;
    int TabAt(POINT point) const;
    // What the kind of control does itself with a left-button press at a point of its client
    // area, and with a key while it has the focus.
    void OwnPress(POINT point);
    void OwnKey(WPARAM nVirtualKey);
    void SelectTab(int nTab);

    EWindowKind Kind;
    SWindow* pParent;
    std::vector<SWindow*> Children;
    std::shared_ptr<SWndLink> pLink;
    int nId = 0;
    std::string strText;
    DWORD dwStyle = 0;
    bool bVisible = false;
    bool bMinimized = false;
    bool bEnabled = true;
    RECT rc{};
    // A control tells its dialog of a click or a change by this.
    std::function<void(WORD)> Notify;
    // Sees a press before the control does; true when it took it.
    std::function<bool(POINT)> PressFilter;
    // A list view's.
    std::vector<std::string> Columns;
    std::vector<int> ColumnWidths;
    // The oldest rows of a log go first, as the newest come: a deque takes both cheaply.
    std::deque<std::vector<std::string>> Rows;
    int nSelectedRow = -1;
    int nSelectionMark = -1;
    // A tab control's.
    std::vector<std::string> Tabs;
    int nCurrentTab = -1;
};
