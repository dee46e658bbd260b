// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of edits held in memory.
#include "DataExchange.h"

#include "Dialog.h"
#include "headless/Window.h"

namespace
{

SWindow* Edit(CDialog* pDlg, int nIDC)
{
    SWindow* pControl = pDlg->GetDlgItem(nIDC);
    return pControl != nullptr && pControl->Kind == EWindowKind::Edit ? pControl : nullptr;
}

} // namespace

bool GetEditText(CDialog* pDlg, int nIDC, std::string& strText)
{
    const SWindow* pEdit = Edit(pDlg, nIDC);
    if (pEdit == nullptr)
        return false;
    strText = pEdit->strText;
    return true;
}

bool SetEditText(CDialog* pDlg, int nIDC, const std::string& strText)
{
    SWindow* pEdit = Edit(pDlg, nIDC);
    if (pEdit == nullptr)
        return false;
    pEdit->SetText(strText);
    return true;
}
