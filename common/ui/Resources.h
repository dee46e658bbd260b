// SPDX-License-Identifier: GPL-3.0-or-later
// A program's resources as data, as a resource script holds them: dialog templates (ids, texts,
// styles and geometry in dialog units), menus and strings. Each program defines its own set and
// makes it current before it builds any window.
#pragma once

#include "UiTypes.h"

#include <map>
#include <string>
#include <vector>

enum class EControlKind {
    Button,
    Edit,
    Static,
    Icon,
    ListView,
    TabControl,
};

struct SControlTemplate {
    EControlKind Kind;
    int nId;
    std::string strText; // for an icon: the icon resource id in decimal
    DWORD dwStyle;
    RECT rcDialogUnits;  // left, top, right and bottom, as x, y, x + cx, y + cy
    std::string strName; // the control's symbolic name, for tests and accessibility
};

struct SDialogTemplate {
    int nId;
    std::string strCaption;
    DWORD dwStyle;
    int cx; // dialog units
    int cy;
    std::string strFont;
    int nPointSize;
    std::vector<SControlTemplate> Controls;
};

struct SMenuItemTemplate {
    UINT nId; // 0 for a pop-up or a separator
    std::string strText;
    UINT nFlags;
    std::vector<SMenuItemTemplate> Items; // a pop-up's items
};

struct SMenuTemplate {
    int nId;
    std::vector<SMenuItemTemplate> Items;
};

// The dialog units of a control: x, y, width and height, as a resource script writes them.
constexpr RECT DialogUnits(int x, int y, int cx, int cy)
{
    return RECT{x, y, x + cx, y + cy};
}

class CResources
{
public:
    std::map<int, SDialogTemplate> Dialogs;
    std::map<int, SMenuTemplate> Menus;
    std::map<int, std::string> Strings;
    // Icon id to the path of its images in the Qt resources, without "-SIZE.png" (on Windows
    // the icons are the program's own resources, by id).
    std::map<int, std::string> Icons;

    const SDialogTemplate* FindDialog(int nId) const;
    const SMenuTemplate* FindMenu(int nId) const;
    std::string LoadString(int nId) const;
    // The icon in all its sizes, loaded once and kept while the program runs; null when there is
    // none.
    HICON LoadIcon(int nId) const;

    static void SetCurrent(const CResources* pResources);
    static const CResources& Current();
};
