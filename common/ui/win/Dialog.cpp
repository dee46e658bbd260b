// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog over the system's own: made from its template in memory, run modally over its owner
// with the system's dialog keys and system menu.
#include "Dialog.h"

#include "win/DialogTemplate.h"
#include "win/DpiScaling.h"
#include "win/WindowThread.h"

struct CDialog::SState {
    bool bModal = false;
    // The system rescales a top-level dialog and its own controls to a new resolution, but not
    // the windows inside them (the pages in a tab control): those follow here.
    CDpiScaling Scaling;

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CenterOver(CDialog& dialog, HWND hOwner);
};

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_pState(std::make_unique<SState>())
{
}

CDialog::~CDialog() = default;

INT_PTR CALLBACK CDialog::SState::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* pDialog = reinterpret_cast<CDialog*>(lParam);
        pDialog->AttachOwned(hWnd, static_cast<DWORD>(::GetWindowLongW(hWnd, GWL_STYLE)));
        pDialog->m_pState->Scaling.Start(hWnd);
        return FALSE;
    }
    auto* pDialog = dynamic_cast<CDialog*>(FromHandle(hWnd));
    if (pDialog == nullptr)
        return FALSE;
    // The system's own rescaling follows, as the default handling.
    if (message == WM_DPICHANGED)
        pDialog->m_pState->Scaling.RescaleNested(hWnd, LOWORD(wParam));
    LRESULT lResult = 0;
    if (!pDialog->Dispatch(message, wParam, lParam, lResult))
        return FALSE;
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

bool CDialog::MakeWindow(const SDialogTemplate& dialogTemplate, CWnd* pParentWnd)
{
    const bool bChild = (dialogTemplate.dwStyle & WS_CHILD) != 0;
    CWnd* pOwner = bChild ? pParentWnd : ModalOwner();
    const CDialogTemplateWriter writer(dialogTemplate);
    const HWND hWnd =
        ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), writer.Get(),
                                     pOwner != nullptr ? pOwner->GetSafeHwnd() : nullptr,
                                     SState::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr)
        return false;
    m_SystemMenu = CMenu();
    return true;
}

INT_PTR CDialog::DoModal()
{
    if (const std::optional<INT_PTR> nResult = PrepareModal())
        return *nResult;
    CWnd* pOwner = ModalOwner();
    const HWND hOwner = pOwner != nullptr ? pOwner->GetSafeHwnd() : nullptr;
    const bool bOwnerWasEnabled = hOwner != nullptr && !::EnableWindow(hOwner, FALSE);
    RunningModals().push_back(this);
    m_pState->bModal = true;
    SState::CenterOver(*this, hOwner);
    ShowWindow(SW_SHOW);
    if (::GetFocus() == nullptr || !::IsChild(GetSafeHwnd(), ::GetFocus()))
        SetFocus();
    MSG msg;
    while (!m_bEnded && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
        PumpMessage(msg);
    m_pState->bModal = false;
    std::erase(RunningModals(), this);
    if (bOwnerWasEnabled) {
        ::EnableWindow(hOwner, TRUE);
        ::SetActiveWindow(hOwner);
    }
    ShowWindow(SW_HIDE);
    return m_nModalResult;
}

// A modal dialog opens over the middle of its owner, as a message box does.
void CDialog::SState::CenterOver(CDialog& dialog, HWND hOwner)
{
    const HWND hDialog = dialog.GetSafeHwnd();
    RECT rcOwner;
    RECT rcDialog;
    if (hOwner == nullptr || !::GetWindowRect(hOwner, &rcOwner) ||
        !::GetWindowRect(hDialog, &rcDialog))
        return;
    const int x = (rcOwner.left + rcOwner.right - (rcDialog.right - rcDialog.left)) / 2;
    const int y = (rcOwner.top + rcOwner.bottom - (rcDialog.bottom - rcDialog.top)) / 2;
    ::SetWindowPos(hDialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::EndDialog(int nResult)
{
    m_bEnded = true;
    m_nModalResult = nResult;
    EndOwnedWindows();
    ShowWindow(SW_HIDE);
    // Wakes the modal loop, which looks at the flag once per message.
    if (m_pState->bModal)
        PostMessage(WM_NULL);
}

void CDialog::EndOwnedWindows()
{
    const HWND hOwner = GetSafeHwnd();
    if (hOwner == nullptr)
        return;
    std::vector<HWND> owned{hOwner};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* pOwned = reinterpret_cast<std::vector<HWND>*>(lParam);
            if (::IsWindowVisible(hWnd) && ::GetWindow(hWnd, GW_OWNER) == pOwned->front())
                pOwned->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&owned));
    for (size_t i = 1; i < owned.size(); ++i) {
        if (auto* pDialog = dynamic_cast<CDialog*>(FromHandle(owned[i])))
            pDialog->EndDialog(IDCANCEL);
        else
            ::PostMessageW(owned[i], WM_COMMAND, IDOK, 0);
    }
}

// The system opens the system menu itself, by Alt+Space and by a click on the window's icon.
LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnContextMenu(CWnd* pWnd, POINT point)
{
    return CWnd::OnContextMenu(pWnd, point);
}

HWND CDialog::GetDlgItem(int nID) const
{
    return IsWindow() ? ::GetDlgItem(GetSafeHwnd(), nID) : nullptr;
}

void CDialog::SetDlgItemText(int nID, const std::string& strText)
{
    if (IsWindow())
        ::SetDlgItemTextA(GetSafeHwnd(), nID, strText.c_str());
}

// The item joins the system's own system menu too, which Alt+Space and the icon open.
void CDialog::AppendToWindowMenu(UINT nCommand, const std::string& strText)
{
    const HMENU hMenu = ::GetSystemMenu(GetSafeHwnd(), FALSE);
    ::AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(hMenu, MF_STRING, nCommand, strText.c_str());
}

// The system's own system menu, as Alt+Space or a click on the window's icon opens it.
void CDialog::ShowSystemMenu(POINT point)
{
    const HMENU hMenu = ::GetSystemMenu(GetSafeHwnd(), FALSE);
    if (hMenu == nullptr)
        return;
    const UINT nCommand =
        static_cast<UINT>(::TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                           point.x, point.y, 0, GetSafeHwnd(), nullptr));
    if (nCommand != 0)
        PostMessage(WM_SYSCOMMAND, nCommand, 0);
}

bool CDialog::PressFocusedButton()
{
    const HWND hFocus = ::GetFocus();
    const bool bButton = hFocus != nullptr && ::IsChild(GetSafeHwnd(), hFocus) &&
                         (::SendMessageW(hFocus, WM_GETDLGCODE, 0, 0) &
                          (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
    if (bButton)
        ::SendMessageW(hFocus, BM_CLICK, 0, 0);
    return bButton;
}
