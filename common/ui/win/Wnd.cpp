// SPDX-License-Identifier: GPL-3.0-or-later
// A window's operations on Windows, over the system's window.
#include "Wnd.h"

#include "CodePageText.h"
#include "win/WindowThread.h"

#include <atomic>
#include <memory>

namespace
{

constexpr const wchar_t* kWndProperty = L"Tarnlow.CWnd";

} // namespace

struct CWnd::SState {
    std::atomic<HWND> hWnd{nullptr};
    bool bOwnsWindow = false;
    bool bSubclassed = false;

    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
};

CWnd::CWnd() : m_pState(std::make_unique<SState>())
{
    NoteWindowThread();
}

CWnd::~CWnd()
{
    if (GetMainWnd() == this)
        SetMainWnd(nullptr);
    Detach();
}

HWND CWnd::GetSafeHwnd() const
{
    return m_pState->hWnd.load();
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    return hWnd != nullptr ? static_cast<CWnd*>(::GetPropW(hWnd, kWndProperty)) : nullptr;
}

CWnd* CWnd::FromHandleOrAncestor(HWND hWnd)
{
    for (; hWnd != nullptr; hWnd = ::GetAncestor(hWnd, GA_PARENT)) {
        if (CWnd* pWnd = FromHandle(hWnd))
            return pWnd;
        // A message box or dialog is a top-level window of its own: its keys never reach its
        // owner's hooks.
        if ((::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) == 0)
            return nullptr;
    }
    return nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    Detach();
    if (hWnd == nullptr)
        return;
    m_pState->hWnd = hWnd;
    m_pState->bOwnsWindow = false;
    ::SetPropW(hWnd, kWndProperty, this);
    m_pState->bSubclassed =
        ::SetWindowSubclass(hWnd, SState::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CWnd::AttachOwned(HWND hWnd, DWORD)
{
    Detach();
    m_pState->hWnd = hWnd;
    m_pState->bOwnsWindow = true;
    ::SetPropW(hWnd, kWndProperty, this);
}

void CWnd::Detach()
{
    const HWND hWnd = m_pState->hWnd.exchange(nullptr);
    if (hWnd == nullptr)
        return;
    ::RemovePropW(hWnd, kWndProperty);
    if (m_pState->bSubclassed)
        ::RemoveWindowSubclass(hWnd, SState::SubclassProc, 1);
    m_pState->bSubclassed = false;
    if (m_pState->bOwnsWindow)
        ::DestroyWindow(hWnd);
}

LRESULT CALLBACK CWnd::SState::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR dwRefData)
{
    auto* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, SState::SubclassProc, 1);
        ::RemovePropW(hWnd, kWndProperty);
        pWnd->m_pState->bSubclassed = false;
        pWnd->m_pState->hWnd = nullptr;
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }
    LRESULT lResult = 0;
    pWnd->Dispatch(message, wParam, lParam, lResult);
    return lResult;
}

std::optional<bool> CWnd::TakePlatformMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                              LRESULT& lResult)
{
    if (message == SentCallMessage()) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        lResult = 1;
        return true;
    }
    if (message == CallMessage()) {
        MSG msg{GetSafeHwnd(), message, wParam, lParam, 0, {}};
        RunPostedCall(msg);
        return true;
    }
    // A window destroyed with its parent, before its object: the object forgets it.
    if (message == WM_NCDESTROY && !m_pState->bSubclassed) {
        ::RemovePropW(GetSafeHwnd(), kWndProperty);
        m_pState->hWnd = nullptr;
        return false;
    }
    return std::nullopt;
}

// A control runs its own handling now; a dialog's runs once its procedure returns.
LRESULT CWnd::SystemDefault(const SHandledMessage& handled)
{
    return m_pState->bSubclassed
               ? ::DefSubclassProc(GetSafeHwnd(), handled.message, handled.wParam, handled.lParam)
               : 0;
}

CWnd* CWnd::GetParent() const
{
    return IsWindow() ? FromHandleOrAncestor(::GetAncestor(GetSafeHwnd(), GA_PARENT)) : nullptr;
}

DWORD CWnd::GetStyle() const
{
    return IsWindow() ? static_cast<DWORD>(::GetWindowLongW(GetSafeHwnd(), GWL_STYLE)) : 0;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return IsWindow() ? ::ShowWindow(GetSafeHwnd(), nCmdShow) : FALSE;
}

BOOL CWnd::IsWindowVisible() const
{
    return IsWindow() ? ::IsWindowVisible(GetSafeHwnd()) : FALSE;
}

BOOL CWnd::SetWindowPos(int x, int y, int cx, int cy, UINT nFlags)
{
    return IsWindow() ? ::SetWindowPos(GetSafeHwnd(), HWND_TOP, x, y, cx, cy, nFlags) : FALSE;
}

CWnd* CWnd::SetFocus()
{
    if (!IsWindow())
        return nullptr;
    HWND hTarget = GetSafeHwnd();
    // A dialog takes no focus itself: it hands it to its first control that does.
    if (::GetPropW(hTarget, kWndProperty) != nullptr && !m_pState->bSubclassed) {
        if (HWND hFirst = ::GetNextDlgTabItem(hTarget, nullptr, FALSE))
            hTarget = hFirst;
    }
    return FromHandleOrAncestor(::SetFocus(hTarget));
}

void CWnd::GetClientRect(RECT* pRect) const
{
    *pRect = RECT{};
    if (IsWindow())
        ::GetClientRect(GetSafeHwnd(), pRect);
}

void CWnd::ClientToScreen(POINT* pPoint) const
{
    if (IsWindow())
        ::ClientToScreen(GetSafeHwnd(), pPoint);
}

void CWnd::SetWindowText(const std::string& strText)
{
    if (IsWindow())
        ::SetWindowTextW(GetSafeHwnd(), WideText(strText).c_str());
}

std::string CWnd::GetWindowText() const
{
    if (!IsWindow())
        return {};
    std::string strText(static_cast<size_t>(::GetWindowTextLengthA(GetSafeHwnd())) + 1, '\0');
    strText.resize(static_cast<size_t>(
        ::GetWindowTextA(GetSafeHwnd(), strText.data(), static_cast<int>(strText.size()))));
    return strText;
}

void CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    if (IsWindow())
        ::SendMessageW(GetSafeHwnd(), WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                       reinterpret_cast<LPARAM>(hIcon));
}

CWnd* TargetOf(const MSG* pMsg)
{
    return CWnd::FromHandleOrAncestor(pMsg->hwnd);
}

// The system's own handling: minimise, move, close (which sends WM_CLOSE) and the rest.
void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}

void CWnd::OnClose()
{
    Default();
}
