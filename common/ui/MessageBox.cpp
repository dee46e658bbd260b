// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include "Journal.h"
#include "UiApplication.h"
#include "Wnd.h"

namespace
{

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

int ShowBox(const SMessageBox& box)
{
    if (Hook())
        return Hook()(box);
    return CUiApplication::IsHeadless() ? WriteMessageBox(box) : RunMessageBox(box);
}

} // namespace

int WriteMessageBox(const SMessageBox& box)
{
    Journal::WriteNotice(box.strCaption, box.strText);
    return IDOK;
}

int MessageBox(CWnd* pOwner, const std::string& strText, const std::string& strCaption, UINT nType)
{
    const SMessageBox box{pOwner, strText, strCaption, nType};
    if (CWnd::IsOnWindowThread() || pOwner == nullptr)
        return ShowBox(box);
    // A box asked for from another thread is shown on the windows' thread, the caller waiting.
    int nResult = IDOK;
    pOwner->SendCall([&] { nResult = ShowBox(box); });
    return nResult;
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}
