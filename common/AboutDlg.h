// SPDX-License-Identifier: GPL-3.0-or-later
// CAboutDlg: the About box of both programs, dialog template 100 of each program's resources.
#pragma once

#include "Dialog.h"

class CAboutDlg : public CDialog
{
public:
    static constexpr UINT IDD = 100;
    CAboutDlg() : CDialog(IDD) {}
};
