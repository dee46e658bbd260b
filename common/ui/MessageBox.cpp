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

int ShowBox(const SMessageBox& box)
{
    if (Hook())
        return Hook()(box);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: %s\n", box.strCaption.c_str(), box.strText.c_str());
        std::fflush(stderr);
        return IDOK;
    }
    QMessageBox messageBox(
        (box.nType & MB_ICONSTOP) != 0 ? QMessageBox::Critical : QMessageBox::Information,
        QString::fromStdString(box.strCaption), QString::fromStdString(box.strText),
        QMessageBox::Ok, box.pOwner != nullptr ? box.pOwner->GetWidget() : nullptr);
    messageBox.exec();
    return IDOK;
}

} // namespace

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
