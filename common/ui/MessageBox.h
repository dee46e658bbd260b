// SPDX-License-Identifier: GPL-3.0-or-later
// Modal message boxes: caption, text, an icon and OK. Without a screen a box is written to
// standard error as "caption: text" and answered OK. Tests and automation can observe and answer
// every box through the hook.
#pragma once

#include "UiTypes.h"

#include <functional>
#include <string>

class CWnd;

struct SMessageBox {
    CWnd* pOwner;
    std::string strText;
    std::string strCaption;
    UINT nType;
};

int MessageBox(CWnd* pOwner, const std::string& strText, const std::string& strCaption, UINT nType);

// The box itself, on any platform, screen or none: Enter and Escape close it (its OK).
int RunMessageBox(const SMessageBox& box);
// The box without a screen: "caption: text" on standard error, answered OK.
int WriteMessageBox(const SMessageBox& box);

// Answers every box in place of the user while set; none restores the real boxes.
using MessageBoxHook = std::function<int(const SMessageBox& box)>;
void SetMessageBoxHook(MessageBoxHook hook);
