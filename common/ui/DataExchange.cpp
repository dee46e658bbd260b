// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataExchange.h"

#include "Dialog.h"

#include <charconv>

namespace
{

constexpr const char* kSpaces = " \t\r\n\v\f";

std::string Trimmed(const std::string& str)
{
    const size_t nFirst = str.find_first_not_of(kSpaces);
    if (nFirst == std::string::npos)
        return {};
    return str.substr(nFirst, str.find_last_not_of(kSpaces) - nFirst + 1);
}

} // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.IsWindow())
        rControl.Attach(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    if (pDX->m_bSaveAndValidate)
        GetEditText(pDX->m_pDlgWnd, nIDC, value);
    else
        SetEditText(pDX->m_pDlgWnd, nIDC, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    if (!pDX->m_bSaveAndValidate) {
        SetEditText(pDX->m_pDlgWnd, nIDC, std::to_string(value));
        return;
    }
    std::string strText;
    if (!GetEditText(pDX->m_pDlgWnd, nIDC, strText))
        return;
    strText = Trimmed(strText);
    int nValue = 0;
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, nValue);
    if (strText.empty() || error != std::errc() || pStop != pEnd) {
        pDX->m_bFailed = true;
        return;
    }
    value = nValue;
}
