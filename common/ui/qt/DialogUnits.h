// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units to pixels through the dialog font's base units, as the windowing library maps a
// dialog template: a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height.
#pragma once

#include "UiTypes.h"

#include <QFont>
#include <string>

RECT MapDialogRect(const RECT& rcDialogUnits, const QFont& font);

// Pixels stated for the original platform's dialog font ("MS Shell Dlg" 8 at 96 dots per inch,
// 6 pixels per character), turned into the same width for this font, so that a column sized for
// a text still shows it.
int ScaleDialogPixels(int nPixels, const QFont& font);

// The platform's font for a template's face and size; "MS Shell Dlg" stands for the platform's
// default sans-serif font.
QFont DialogFont(const std::string& strFace, int nPointSize);
