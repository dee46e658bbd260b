// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Comms.h"

#include "ControlProtocol.h"
#include "PageKeys.h"
#include "client/resource.h"

CComms::CComms() : CDialog(IDD)
{
    MapCommand(IDC_SERVER_IP_ADDRESS, EN_CHANGE, &CComms::OnEnChangeServerIPAddress);
    MapCommand(IDC_SERVER_PORT, EN_CHANGE, &CComms::OnEnChangeServerPort);
}

void CComms::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SERVER_IP_ADDRESS, m_strServerIPAddress);
    DDX_Text(pDX, IDC_SERVER_PORT, m_strServerPort);
}

BOOL CComms::PreTranslateMessage(MSG* pMsg)
{
    return SwallowEnterAndEscape(pMsg) || CDialog::PreTranslateMessage(pMsg);
}

std::string CComms::GetServerIPAddress() const
{
    return m_strServerIPAddress;
}

int CComms::GetServerPort() const
{
    return ControlProtocol::ReadNumber(m_strServerPort);
}

void CComms::OnEnChangeServerIPAddress()
{
    UpdateData(TRUE);
}

void CComms::OnEnChangeServerPort()
{
    UpdateData(TRUE);
}
