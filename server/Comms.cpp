// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/Comms.h"

#include "PageKeys.h"
#include "server/resource.h"

CComms::CComms() : CDialog(IDD)
{
    MapCommand(IDC_RECEIVE_PORT, EN_CHANGE, &CComms::OnEnChangeReceivePort);
    MapCommand(IDC_RESPONSE_TIMEOUT, EN_CHANGE, &CComms::OnEnChangeResponseTimeout);
}

void CComms::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_RECEIVE_PORT, m_nReceivePort);
    DDX_Text(pDX, IDC_RESPONSE_TIMEOUT, m_nResponseTimeout);
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
void CComms::ReadEditBoxes()
{
    std::lock_guard lock(m_Mutex);
    UpdateData(TRUE);
}

void CComms::OnEnChangeReceivePort()
{
    ReadEditBoxes();
}

void CComms::OnEnChangeResponseTimeout()
{
    ReadEditBoxes();
}
