// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataExchange.h"

#include "Dialog.h"

#include <QLineEdit>
#include <charconv>

namespace
{

QLineEdit* Edit(CDataExchange* pDX, int nIDC)
{
    return qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

} // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.IsWindow())
        rControl.Attach(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    QLineEdit* pEdit = Edit(pDX, nIDC);
    if (pEdit == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = pEdit->text().toStdString();
    else
        pEdit->setText(QString::fromStdString(value));
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    QLineEdit* pEdit = Edit(pDX, nIDC);
    if (pEdit == nullptr)
        return;
    if (!pDX->m_bSaveAndValidate) {
        pEdit->setText(QString::number(value));
        return;
    }
    const std::string strText = pEdit->text().trimmed().toStdString();
    int nValue = 0;
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, nValue);
    if (strText.empty() || error != std::errc() || pStop != pEnd) {
        pDX->m_bFailed = true;
        return;
    }
    value = nValue;
}
