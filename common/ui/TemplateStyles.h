// The font and control styles that both programs' dialog templates use.
#pragma once

#include "UiTypes.h"

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
