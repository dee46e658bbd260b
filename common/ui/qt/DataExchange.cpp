// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of Qt's line edits.
#include "DataExchange.h"

#include "Dialog.h"

#include <QLineEdit>

namespace
{

QLineEdit* Edit(CDialog* pDlg, int nIDC)
{
    return qobject_cast<QLineEdit*>(pDlg->GetDlgItem(nIDC));
}

} // namespace

bool GetEditText(CDialog* pDlg, int nIDC, std::string& strText)
{
    const QLineEdit* pEdit = Edit(pDlg, nIDC);
    if (pEdit == nullptr)
        return false;
    strText = pEdit->text().toStdString();
    return true;
}

bool SetEditText(CDialog* pDlg, int nIDC, const std::string& strText)
{
    QLineEdit* pEdit = Edit(pDlg, nIDC);
    if (pEdit == nullptr)
        return false;
    pEdit->setText(QString::fromStdString(strText));
    return true;
}
