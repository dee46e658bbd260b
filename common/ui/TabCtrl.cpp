// SPDX-License-Identifier: GPL-3.0-or-later
// What a tab control does alike on every platform: its press and its selection change reach
// their handlers.
#include "TabCtrl.h"

LRESULT CTabCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_LBUTTONDOWN)
        return CWnd::WindowProc(message, wParam, lParam);
    OnLButtonDown(static_cast<UINT>(wParam),
                  POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    return 0;
}

BOOL CTabCtrl::OnChildNotify(const NMHDR* pHeader)
{
    if (pHeader->code != TCN_SELCHANGE)
        return FALSE;
    OnSelChange();
    return TRUE;
}

void CTabCtrl::OnLButtonDown(UINT, POINT)
{
    Default();
}

void CTabCtrl::OnSelChange() {}
