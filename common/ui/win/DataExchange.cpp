// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the system's edit controls.
#include "DataExchange.h"

#include "Dialog.h"

namespace
{

HWND Edit(CDialog* pDlg, int nIDC)
{
    const HWND hControl = pDlg->GetDlgItem(nIDC);
    char cClass[16] = {};
    if (hControl == nullptr || ::GetClassNameA(hControl, cClass, sizeof(cClass)) == 0 ||
        ::lstrcmpiA(cClass, "Edit") != 0)
        return nullptr;
    return hControl;
}

} // namespace

bool GetEditText(CDialog* pDlg, int nIDC, std::string& strText)
{
    const HWND hEdit = Edit(pDlg, nIDC);
    if (hEdit == nullptr)
        return false;
    strText.assign(static_cast<size_t>(::GetWindowTextLengthA(hEdit)) + 1, '\0');
    strText.resize(static_cast<size_t>(
        ::GetWindowTextA(hEdit, strText.data(), static_cast<int>(strText.size()))));
    return true;
}

bool SetEditText(CDialog* pDlg, int nIDC, const std::string& strText)
{
    const HWND hEdit = Edit(pDlg, nIDC);
    return hEdit != nullptr && ::SetWindowTextA(hEdit, strText.c_str()) != FALSE;
}
