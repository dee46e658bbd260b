// CAboutDlg: the About box of Tarnlow Client.
#pragma once

#include "Dialog.h"

class CAboutDlg : public CDialog
{
public:
    static constexpr UINT IDD = 100;
    CAboutDlg() : CDialog(IDD) {}
};
