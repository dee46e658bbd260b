// SPDX-License-Identifier: GPL-3.0-or-later
// Data exchange between a dialog's members and its controls.
#pragma once

#include <string>

class CDialog;
class CWnd;

class CDataExchange
{
public:
    CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    bool m_bSaveAndValidate; // true: controls to members; false: members to controls
    CDialog* m_pDlgWnd;
    bool m_bFailed = false;
};

// The text of a dialog's edit control, as typed; false (and nothing done) for any other control.
bool GetEditText(CDialog* pDlg, int nIDC, std::string& strText);
bool SetEditText(CDialog* pDlg, int nIDC, const std::string& strText);

// Binds a control of the dialog to a member window object, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Strings as typed.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// Integers as decimal text; text that is not a whole number fails the exchange and leaves the
// member as it was.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
