// SPDX-License-Identifier: GPL-3.0-or-later
// What a dialog does alike on every platform: its making from the template, data exchange, the
// system menu's items, the modal dialogs' order and the standard commands.
#include "Dialog.h"

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    const SDialogTemplate* pTemplate =
        CResources::Current().FindDialog(static_cast<int>(nIDTemplate));
    if (pTemplate == nullptr)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_bEnded = false;
    if (!MakeWindow(*pTemplate, pParentWnd))
        return FALSE;
    OnInitDialog();
    // A dialog that ended during its initialisation is never shown.
    if ((pTemplate->dwStyle & WS_VISIBLE) != 0 && !m_bEnded)
        ShowWindow(SW_SHOW);
    return TRUE;
}

std::vector<CDialog*>& CDialog::RunningModals()
{
    static std::vector<CDialog*> modals;
    return modals;
}

std::optional<INT_PTR> CDialog::PrepareModal()
{
    m_nModalResult = IDCANCEL;
    if (IsWindow())
        m_bEnded = false;
    else if (!Create(m_nIDTemplate, m_pParentWnd))
        return -1;
    if (m_bEnded)
        return m_nModalResult;
    return std::nullopt;
}

CWnd* CDialog::ModalOwner() const
{
    // The given parent's top-level window, else the innermost dialog that already runs
    // modally, else the main window.
    CWnd* pOwner = m_pParentWnd != nullptr ? m_pParentWnd->GetTopLevelWindow() : nullptr;
    if (pOwner == nullptr)
        pOwner = !RunningModals().empty() ? RunningModals().back() : GetMainWnd();
    return pOwner != this ? pOwner : nullptr;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate != FALSE);
    const bool bWasInExchange = m_bInDataExchange;
    m_bInDataExchange = true;
    DoDataExchange(&dx);
    m_bInDataExchange = bWasInExchange;
    return dx.m_bFailed ? FALSE : TRUE;
}

CMenu* CDialog::GetSystemMenu(BOOL)
{
    return (GetStyle() & WS_CHILD) != 0 ? nullptr : &m_SystemMenu;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    // A page inside another window is never ended by a key: it would leave an empty tab.
    if ((GetStyle() & WS_CHILD) == 0)
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    if ((GetStyle() & WS_CHILD) == 0)
        EndDialog(IDCANCEL);
}

void CDialog::OnClose()
{
    OnCancel();
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    // Notifications raised by the controls while members are copied reach no handler.
    if (m_bInDataExchange)
        return TRUE;
    const int nID = LOWORD(wParam);
    auto it = m_Commands.find({nID, HIWORD(wParam)});
    if (it != m_Commands.end()) {
        it->second();
        return TRUE;
    }
    if (nID == IDOK && HIWORD(wParam) == BN_CLICKED) {
        OnOK();
        return TRUE;
    }
    if (nID == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN)
        return FALSE;
    // The standard dialog keys: Enter presses the focused push button, or else gives the
    // dialog its OK command; Escape gives it its Cancel command.
    if (pMsg->wParam == VK_RETURN) {
        if (!PressFocusedButton())
            SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    if (pMsg->wParam == VK_ESCAPE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}

void CDialog::AppendAboutItem(UINT nCommand, int nStringId)
{
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    const std::string strAboutMenu = CResources::Current().LoadString(nStringId);
    if (pSysMenu == nullptr || strAboutMenu.empty())
        return;
    pSysMenu->AppendMenu(MF_SEPARATOR);
    pSysMenu->AppendMenu(MF_STRING, nCommand, strAboutMenu);
    AppendToWindowMenu(nCommand, strAboutMenu);
}
