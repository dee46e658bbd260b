// SPDX-License-Identifier: GPL-3.0-or-later
// The box as Qt draws it.
#include "MessageBox.h"

#include "Wnd.h"

#include <QMessageBox>

namespace
{

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

} // namespace

int RunMessageBox(const SMessageBox& box)
{
    // Modal: the owner and every other window take no input until the box is closed.
    QMessageBox messageBox(IconOf(box.nType), QString::fromStdString(box.strCaption),
                           QString::fromStdString(box.strText), QMessageBox::Ok,
                           box.pOwner != nullptr ? box.pOwner->GetSafeHwnd() : nullptr);
    messageBox.setObjectName(QStringLiteral("MessageBox"));
    messageBox.exec();
    return IDOK;
}
