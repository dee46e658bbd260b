// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/Comms.h"

#include "PageKeys.h"
#include "server/resource.h"

CComms::CComms(int nReceivePort) : CDialog(IDD), m_nReceivePort(nReceivePort)
{
    MapCommand(IDC_RECEIVE_PORT, EN_CHANGE, &CComms::OnEnChangeReceivePort);
}

void CComms::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_RECEIVE_PORT, m_nReceivePort);
}

BOOL CComms::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_RESPONSE_TIMEOUT, std::to_string(kDefaultResponseTimeoutMs));
    return TRUE;
}

BOOL CComms::PreTranslateMessage(MSG* pMsg)
{
    return FilterPageKeys(this, pMsg) || CDialog::PreTranslateMessage(pMsg);
}

int CComms::GetReceivePort() const
{
    std::lock_guard lock(m_Mutex);
    return m_nReceivePort;
}

// A box that does not hold a whole number (while the user empties it, say) leaves its member
// as it was.
void CComms::OnEnChangeReceivePort()
{
    std::lock_guard lock(m_Mutex);
    UpdateData(TRUE);
}
