// SPDX-License-Identifier: GPL-3.0-or-later
// The key filter of the server's pages: Enter does nothing, Escape goes to the page's parent
// (the tab control, which passes it on to the main window).
#pragma once

#include "Wnd.h"

// True when the message was one of the two keys and has been dealt with.
inline BOOL FilterPageKeys(CWnd* pPage, const MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN)
        return FALSE;
    if (pMsg->wParam == VK_RETURN)
        return TRUE;
    if (pMsg->wParam == VK_ESCAPE) {
        if (CWnd* pParent = pPage->GetParent())
            pParent->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
        return TRUE;
    }
    return FALSE;
}

// The key filter of the client's windows: Enter and Escape are swallowed.
inline BOOL SwallowEnterAndEscape(const MSG* pMsg)
{
    return pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE);
}
