// SPDX-License-Identifier: GPL-3.0-or-later
// The user's input without a toolkit, for whatever stands in for the user (the layer's tests):
// a left-button press at a point of a window's client area, and a key pressed while a window has
// the focus. As on the other ports, a press gives a control the focus, every key-down goes to the
// windows' hooks (PreTranslateMessage) before the control sees it, and while a modal dialog runs
// only its own windows take input.
#pragma once

#include "UiTypes.h"

void InputPress(HWND hWindow, POINT point);
void InputKey(HWND hWindow, WPARAM nVirtualKey);
