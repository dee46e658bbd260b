// SPDX-License-Identifier: GPL-3.0-or-later
// CDialog: a dialog or tab page built from a dialog template of the current resources (on
// Windows made into the system's own dialog template in memory). It offers initialisation, data
// exchange (notifications that arrive while an exchange runs reach no handler), command routing
// by control id, the standard dialog keys, modal running, and the system menu (a stand-in for it
// on top-level windows elsewhere).
#pragma once

#include "DataExchange.h"
#include "Menu.h"
#include "Wnd.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    UINT GetTemplateId() const { return m_nIDTemplate; }
    // Makes the window: a hidden or shown child for a template with WS_CHILD, else a top-level
    // window. False when the template does not exist.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Shows the dialog as a top-level window and returns its result once it has ended. While it
    // runs, its owner (the parent's top-level window, else the main window) takes no input.
    virtual INT_PTR DoModal();
    // Ends the dialog, and with it the dialogs and message boxes that it owns.
    void EndDialog(int nResult);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    HWND GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, const std::string& strText);
    // What the program added to the system menu of a top-level window; null for a child page.
    CMenu* GetSystemMenu(BOOL bRevert);
    void ShowSystemMenu(POINT point);
    // Appends a separator and the About item, whose text is a string resource, to the system
    // menu, if the window has one and the string is not empty.
    void AppendAboutItem(UINT nCommand, int nStringId);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    void OnClose() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Elsewhere than on Windows, whose system does both itself: Alt+Space opens the system menu,
    // and on a top-level window so does a right-click beside the controls.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnContextMenu(CWnd* pWnd, POINT point) override;

    // An entry of the message map: a notification of a control, or a command, to a handler.
    template <typename TDialog>
    void MapCommand(int nID, WORD wNotifyCode, void (TDialog::*pHandler)())
    {
        m_Commands[{nID, wNotifyCode}] = [this, pHandler] {
            (static_cast<TDialog*>(this)->*pHandler)();
        };
    }

private:
    // False when the platform could not make the window.
    bool MakeWindow(const SDialogTemplate& dialogTemplate, CWnd* pParentWnd);
    // Makes the window unless it is there; a result to return at once when there is nothing to
    // run (it could not be made, or it ended while it was being made).
    std::optional<INT_PTR> PrepareModal();
    static std::vector<CDialog*>& RunningModals();
    // Presses the push button that has the focus, if one of the dialog's has it.
    bool PressFocusedButton();
    // Appends a separator and the item to the window's menu where the platform has its own.
    void AppendToWindowMenu(UINT nCommand, const std::string& strText);
    CWnd* ModalOwner() const;
    void EndOwnedWindows();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bInDataExchange = false;
    std::map<std::pair<int, WORD>, std::function<void()>> m_Commands;
    // What the program added to the window's system menu.
    CMenu m_SystemMenu;
    int m_nModalResult = IDCANCEL;
    bool m_bEnded = false;
    // The platform's part: on Windows whether the modal loop runs; elsewhere the controls by id
    // and the modal loop.
    struct SState;
    std::unique_ptr<SState> m_pState;
};
