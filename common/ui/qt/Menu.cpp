// SPDX-License-Identifier: GPL-3.0-or-later
// The pop-up as Qt draws it.
#include "Menu.h"

#include "UiApplication.h"

#include <QAction>
#include <QMenu>

namespace
{

void AddItems(QMenu& menu, const CMenu& source)
{
    for (const CMenu::SItem& item : source.Items()) {
        if ((item.nFlags & MF_SEPARATOR) != 0) {
            menu.addSeparator();
            continue;
        }
        const QString strText = QString::fromStdString(item.strText);
        if (!item.SubMenus.empty()) {
            AddItems(*menu.addMenu(strText), item.SubMenus.front());
            continue;
        }
        QAction* pAction = menu.addAction(strText);
        pAction->setData(item.nId);
        pAction->setEnabled((item.nFlags & (MF_GRAYED | MF_DISABLED)) == 0);
    }
}

} // namespace

UINT CMenu::TrackOnScreen(POINT point) const
{
    // Without a screen there is no one to choose.
    if (CUiApplication::IsHeadless())
        return 0;
    QMenu menu;
    AddItems(menu, *this);
    const QAction* pChosen = menu.exec(QPoint(point.x, point.y));
    return pChosen != nullptr ? pChosen->data().toUInt() : 0;
}
