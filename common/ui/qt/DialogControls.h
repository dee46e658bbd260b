// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of a dialog template as Qt widgets, placed at the pixels of their dialog units:
// report lists, tab controls, buttons, edits, labels and icons, each telling its dialog of its
// notifications (BN_CLICKED, EN_CHANGE).
#pragma once

#include "Resources.h"

#include <QFont>
#include <QRect>
#include <QWidget>
#include <functional>

QRect PixelRect(const RECT& rcDialogUnits, const QFont& font);
QWidget* MakeControl(const SControlTemplate& control, QWidget* pParent, const QFont& font,
                     const std::function<void(WORD)>& notify);
