// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/DialogTemplate.h"

#include "CodePageText.h"

namespace
{

void WriteClass(CDialogTemplateWriter& writer, EControlKind kind)
{
    switch (kind) {
    case EControlKind::Button:
        writer.Dword(0x0080FFFF);
        return;
    case EControlKind::Edit:
        writer.Dword(0x0081FFFF);
        return;
    case EControlKind::Static:
    case EControlKind::Icon:
        writer.Dword(0x0082FFFF);
        return;
    case EControlKind::ListView:
        writer.Text(WC_LISTVIEWA);
        return;
    case EControlKind::TabControl:
        writer.Text(WC_TABCONTROLA);
        return;
    }
}

DWORD ControlStyle(const SControlTemplate& control)
{
    DWORD dwStyle = control.dwStyle | WS_CHILD;
    if (control.Kind == EControlKind::Icon)
        dwStyle |= SS_ICON;
    // The tab control holds the pages: the dialog keys go on into their controls.
    if (control.Kind == EControlKind::TabControl)
        dwStyle |= WS_CLIPCHILDREN;
    return dwStyle;
}

void WriteControl(CDialogTemplateWriter& writer, const SControlTemplate& control)
{
    writer.Align();
    writer.Dword(0); // help id
    writer.Dword(control.Kind == EControlKind::TabControl ? WS_EX_CONTROLPARENT : 0);
    writer.Dword(ControlStyle(control));
    const RECT& rc = control.rcDialogUnits;
    writer.Word(static_cast<WORD>(rc.left));
    writer.Word(static_cast<WORD>(rc.top));
    writer.Word(static_cast<WORD>(rc.right - rc.left));
    writer.Word(static_cast<WORD>(rc.bottom - rc.top));
    writer.Dword(static_cast<DWORD>(control.nId));
    WriteClass(writer, control.Kind);
    if (control.Kind == EControlKind::Icon) {
        writer.Word(0xFFFF);
        writer.Word(static_cast<WORD>(std::stoi(control.strText)));
    } else {
        writer.Text(control.strText);
    }
    writer.Word(0); // no creation data
}

} // namespace

// Every dialog is made hidden; Create shows it once it has been initialised.
CDialogTemplateWriter::CDialogTemplateWriter(const SDialogTemplate& dialogTemplate)
{
    CDialogTemplateWriter& writer = *this;
    const bool bChild = (dialogTemplate.dwStyle & WS_CHILD) != 0;
    writer.Word(1);
    writer.Word(0xFFFF);
    writer.Dword(0);
    writer.Dword(bChild ? WS_EX_CONTROLPARENT : 0);
    writer.Dword((dialogTemplate.dwStyle & ~WS_VISIBLE) | DS_SETFONT | (bChild ? DS_CONTROL : 0));
    writer.Word(static_cast<WORD>(dialogTemplate.Controls.size()));
    writer.Word(0);
    writer.Word(0);
    writer.Word(static_cast<WORD>(dialogTemplate.cx));
    writer.Word(static_cast<WORD>(dialogTemplate.cy));
    writer.Word(0); // no menu
    writer.Word(0); // the dialog class
    writer.Text(dialogTemplate.strCaption);
    writer.Word(static_cast<WORD>(dialogTemplate.nPointSize));
    writer.Word(FW_NORMAL);
    writer.Word(DEFAULT_CHARSET << 8);
    writer.Text(dialogTemplate.strFont);
    for (const SControlTemplate& control : dialogTemplate.Controls)
        WriteControl(writer, control);
}

void CDialogTemplateWriter::Dword(DWORD dw)
{
    Word(LOWORD(dw));
    Word(HIWORD(dw));
}

void CDialogTemplateWriter::Text(const std::string& str)
{
    for (const wchar_t ch : WideText(str))
        Word(static_cast<WORD>(ch));
    Word(0);
}

void CDialogTemplateWriter::Align()
{
    if (m_Words.size() % 2 != 0)
        Word(0);
}
