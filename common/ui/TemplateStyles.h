// SPDX-License-Identifier: GPL-3.0-or-later
// The font and control styles that both programs' dialog templates use.
#pragma once

#include "Resources.h"

inline constexpr const char* kDialogFont = "MS Shell Dlg";
inline constexpr int kDialogPointSize = 8;
inline constexpr DWORD kPageStyle = DS_SHELLFONT | WS_CHILD;
inline constexpr DWORD kMainWindowStyle =
    DS_MODALFRAME | DS_SHELLFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kAboutBoxStyle =
    DS_MODALFRAME | DS_SHELLFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD kListStyle =
    LVS_REPORT | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP | WS_VISIBLE;
inline constexpr DWORD kButtonStyle = BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE;
inline constexpr DWORD kDefaultButtonStyle = BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE;
inline constexpr DWORD kEditStyle = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE;
inline constexpr DWORD kStaticStyle = SS_LEFT | WS_VISIBLE;

// The About box of a program: its icon, its name and version, the maker's notice, and OK.
inline SDialogTemplate AboutBoxTemplate(int nId, const std::string& strCaption,
                                        const std::string& strVersionLine, int nIconId)
{
    return {nId,
            strCaption,
            kAboutBoxStyle,
            235,
            55,
            kDialogFont,
            kDialogPointSize,
            {{EControlKind::Icon, -1, std::to_string(nIconId), WS_VISIBLE,
              DialogUnits(11, 17, 20, 20), "IDC_ICON"},
             {EControlKind::Static, -2, strVersionLine, kStaticStyle, DialogUnits(40, 10, 119, 8),
              "IDC_VERSION"},
             {EControlKind::Static, -3, "Made by the Tarnlow team", kStaticStyle,
              DialogUnits(40, 25, 119, 8), "IDC_NOTICE"},
             {EControlKind::Button, IDOK, "OK", kDefaultButtonStyle, DialogUnits(178, 7, 50, 16),
              "IDOK"}}};
}
