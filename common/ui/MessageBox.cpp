// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include "Wnd.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace
{

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

// A box asked for without an icon shows none.
QMessageBox::Icon IconOf(UINT nType)
{
    switch (nType & MB_ICONMASK) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowBox(const SMessageBox& box)
{
    if (Hook())
        return Hook()(box);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: %s\n", box.strCaption.c_str(), box.strText.c_str());
        std::fflush(stderr);
        return IDOK;
    }
    return RunMessageBox(box);
}

} // namespace

int RunMessageBox(const SMessageBox& box)
{
    // Modal: the owner and every other window take no input until the box is closed.
    QMessageBox messageBox(IconOf(box.nType), QString::fromStdString(box.strCaption),
                           QString::fromStdString(box.strText), QMessageBox::Ok,
                           box.pOwner != nullptr ? box.pOwner->GetWidget() : nullptr);
    messageBox.setObjectName(QStringLiteral("MessageBox"));
    messageBox.exec();
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
