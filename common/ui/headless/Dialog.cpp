// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog without a toolkit: its window and controls made from its template in memory, run
// modally in the window thread's queue, with its dialog keys and its system menu.
#include "Dialog.h"

#include "headless/MessageQueue.h"
#include "headless/Window.h"

namespace
{

// The dialog base units of the system's dialog font (MS Shell Dlg, 8 points) at 96 dots per
// inch: a template's geometry becomes the pixels it has on Windows.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

RECT Pixels(const RECT& rcDialogUnits)
{
    return RECT{rcDialogUnits.left * kBaseX / 4, rcDialogUnits.top * kBaseY / 8,
                rcDialogUnits.right * kBaseX / 4, rcDialogUnits.bottom * kBaseY / 8};
}

EWindowKind KindOf(EControlKind kind)
{
    switch (kind) {
    case EControlKind::Button:
        return EWindowKind::Button;
    case EControlKind::Edit:
        return EWindowKind::Edit;
    case EControlKind::Static:
        return EWindowKind::Static;
    case EControlKind::Icon:
        return EWindowKind::Icon;
    case EControlKind::ListView:
        return EWindowKind::ListView;
    case EControlKind::TabControl:
        return EWindowKind::TabControl;
    }
    return EWindowKind::Plain;
}

} // namespace

struct CDialog::SState {
    // The window that a running modal dialog belongs to.
    CWnd* pModalOwner = nullptr;
};

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_pState(std::make_unique<SState>())
{
}

CDialog::~CDialog() = default;

bool CDialog::MakeWindow(const SDialogTemplate& dialogTemplate, CWnd* pParentWnd)
{
    const bool bChild = (dialogTemplate.dwStyle & WS_CHILD) != 0;
    SWindow* pParent = bChild && pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr;
    auto* pWindow = new SWindow(EWindowKind::Dialog, pParent);
    pWindow->nId = dialogTemplate.nId;
    pWindow->dwStyle = dialogTemplate.dwStyle;
    pWindow->rc = Pixels(DialogUnits(0, 0, dialogTemplate.cx, dialogTemplate.cy));
    if (!bChild) {
        pWindow->strText = dialogTemplate.strCaption;
        m_SystemMenu = CMenu();
        if ((dialogTemplate.dwStyle & WS_MINIMIZEBOX) != 0)
            m_SystemMenu.AppendMenu(MF_STRING, SC_MINIMIZE, "Minimize");
        m_SystemMenu.AppendMenu(MF_STRING, SC_CLOSE, "Close");
    }
    AttachOwned(pWindow, dialogTemplate.dwStyle);
    for (const SControlTemplate& control : dialogTemplate.Controls) {
        auto* pControl = new SWindow(KindOf(control.Kind), pWindow);
        pControl->nId = control.nId;
        pControl->strText = control.Kind == EControlKind::Icon ? std::string() : control.strText;
        pControl->dwStyle = control.dwStyle;
        pControl->rc = Pixels(control.rcDialogUnits);
        pControl->bVisible = (control.dwStyle & WS_VISIBLE) != 0;
        pControl->bEnabled = (control.dwStyle & WS_DISABLED) == 0;
        const int nID = control.nId;
        pControl->Notify = [this, nID](WORD wNotifyCode) {
            SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nID), wNotifyCode), 0);
        };
    }
    return true;
}

INT_PTR CDialog::DoModal()
{
    if (const std::optional<INT_PTR> nResult = PrepareModal())
        return *nResult;
    m_pState->pModalOwner = ModalOwner();
    RunningModals().push_back(this);
    SWindow* pWindow = GetSafeHwnd();
    SWindow::Modals().push_back(pWindow);
    ShowWindow(SW_SHOW);
    CMessageQueue::Instance().RunUntil([this] { return m_bEnded; });
    std::erase(SWindow::Modals(), pWindow);
    std::erase(RunningModals(), this);
    m_pState->pModalOwner = nullptr;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_bEnded = true;
    m_nModalResult = nResult;
    ShowWindow(SW_HIDE);
    EndOwnedWindows();
}

void CDialog::EndOwnedWindows()
{
    // The dialogs that a window owns end with it; its message boxes never wait here.
    const std::vector<CDialog*> modals = RunningModals();
    for (CDialog* pDialog : modals) {
        if (pDialog->m_pState->pModalOwner == this && !pDialog->m_bEnded)
            pDialog->EndDialog(IDCANCEL);
    }
}

HWND CDialog::GetDlgItem(int nID) const
{
    const SWindow* pWindow = GetSafeHwnd();
    return pWindow != nullptr ? pWindow->Child(nID) : nullptr;
}

void CDialog::SetDlgItemText(int nID, const std::string& strText)
{
    if (SWindow* pControl = GetDlgItem(nID))
        pControl->SetText(strText);
}

void CDialog::ShowSystemMenu(POINT point)
{
    const UINT nCommand = m_SystemMenu.Track(point);
    if (nCommand != 0)
        PostMessage(WM_SYSCOMMAND, nCommand, 0);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Alt+Space opens the system menu at the window's top-left corner.
    if (message == WM_SYSKEYDOWN && wParam == VK_SPACE && GetSystemMenu(FALSE) != nullptr) {
        POINT point{0, 0};
        ClientToScreen(&point);
        ShowSystemMenu(point);
        return 1;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnContextMenu(CWnd*, POINT point)
{
    if (GetSystemMenu(FALSE) == nullptr || point.x < 0)
        return FALSE;
    POINT origin{0, 0};
    ClientToScreen(&origin);
    const POINT local{point.x - origin.x, point.y - origin.y};
    for (const SWindow* pControl : GetSafeHwnd()->Children) {
        const RECT& rc = pControl->rc;
        if (pControl->IsVisible() && local.x >= rc.left && local.x < rc.right &&
            local.y >= rc.top && local.y < rc.bottom)
            return FALSE;
    }
    ShowSystemMenu(point);
    return TRUE;
}

bool CDialog::PressFocusedButton()
{
    SWindow* pButton = SWindow::Focus();
    if (pButton == nullptr || pButton->Kind != EWindowKind::Button ||
        !GetSafeHwnd()->IsAncestorOf(pButton))
        return false;
    pButton->Notify(BN_CLICKED);
    return true;
}

// The system menu is the program's own menu: there is no window manager's to add to.
void CDialog::AppendToWindowMenu(UINT, const std::string&) {}
