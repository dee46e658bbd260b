// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing library's types on Qt: a window of the platform's is a Qt widget.
#pragma once

class QWidget;
using HWND = QWidget*;
// An icon is one of the program's icons, loaded by its resources.
class QIcon;
using HICON = const QIcon*;

#include "UiTypes_posix.h"
