// SPDX-License-Identifier: GPL-3.0-or-later
#include "TabCtrl.h"

#include <QFrame>
#include <QMouseEvent>
#include <QTabBar>
#include <QTableView>

class CTabCtrl::CPressFilter : public QObject
{
public:
    explicit CPressFilter(CTabCtrl* pOwner) : m_pOwner(pOwner) {}

    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() != QEvent::MouseButtonPress)
            return false;
        auto* pPress = static_cast<QMouseEvent*>(pEvent);
        if (pPress->button() != Qt::LeftButton)
            return false;
        m_pOwner->m_pPendingPress = pPress;
        const QPoint point = pPress->position().toPoint();
        m_pOwner->OnLButtonDown(0, POINT{point.x(), point.y()});
        m_pOwner->m_pPendingPress = nullptr;
        return true;
    }

private:
    CTabCtrl* m_pOwner;
};

CTabCtrl::CTabCtrl() = default;

CTabCtrl::~CTabCtrl()
{
    if (QTabBar* pTabBar = GetTabBar())
        pTabBar->removeEventFilter(m_pPressFilter);
    delete m_pPressFilter;
}

QTabBar* CTabCtrl::GetTabBar() const
{
    return GetWidget() != nullptr ? GetWidget()->findChild<QTabBar*>(QStringLiteral("tabs"),
                                                                     Qt::FindDirectChildrenOnly)
                                  : nullptr;
}

void CTabCtrl::Hook()
{
    QTabBar* pTabBar = GetTabBar();
    if (m_pPressFilter != nullptr || pTabBar == nullptr)
        return;
    m_pPressFilter = new CPressFilter(this);
    pTabBar->installEventFilter(m_pPressFilter);
    QObject::connect(pTabBar, &QTabBar::currentChanged, pTabBar, [this] { OnSelChange(); });
}

void CTabCtrl::LayOut()
{
    QTabBar* pTabBar = GetTabBar();
    auto* pPane = GetWidget()->findChild<QFrame*>(QStringLiteral("pane"));
    // The tabs stand two pixels in from the corner; the pane takes the rest below them.
    pTabBar->setGeometry(2, 2, pTabBar->sizeHint().width(), pTabBar->sizeHint().height());
    const int nPaneTop = pTabBar->geometry().bottom() + 1;
    pPane->setGeometry(0, nPaneTop, GetWidget()->width(), GetWidget()->height() - nPaneTop);
    pPane->lower();
}

int CTabCtrl::InsertItem(int nItem, const std::string& strLabel)
{
    QTabBar* pTabBar = GetTabBar();
    if (pTabBar == nullptr)
        return -1;
    Hook();
    const QSignalBlocker blocker(pTabBar);
    const int nIndex = pTabBar->insertTab(nItem, QString::fromStdString(strLabel));
    LayOut();
    return nIndex;
}

int CTabCtrl::GetItemCount() const
{
    QTabBar* pTabBar = GetTabBar();
    return pTabBar != nullptr ? pTabBar->count() : 0;
}

std::string CTabCtrl::GetItemText(int nItem) const
{
    QTabBar* pTabBar = GetTabBar();
    return pTabBar != nullptr ? pTabBar->tabText(nItem).toStdString() : std::string();
}

BOOL CTabCtrl::GetItemRect(int nItem, RECT* pRect) const
{
    QTabBar* pTabBar = GetTabBar();
    if (pTabBar == nullptr || nItem < 0 || nItem >= pTabBar->count())
        return FALSE;
    const QRect rc = pTabBar->tabRect(nItem).translated(pTabBar->pos());
    *pRect = RECT{rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
    return TRUE;
}

int CTabCtrl::GetCurSel() const
{
    QTabBar* pTabBar = GetTabBar();
    return pTabBar != nullptr ? pTabBar->currentIndex() : -1;
}

int CTabCtrl::SetCurSel(int nItem)
{
    QTabBar* pTabBar = GetTabBar();
    if (pTabBar == nullptr || nItem < 0 || nItem >= pTabBar->count())
        return -1;
    const int nPrevious = pTabBar->currentIndex();
    // Selecting a tab in code is no user's change: no notification.
    const QSignalBlocker blocker(pTabBar);
    pTabBar->setCurrentIndex(nItem);
    return nPrevious;
}

void CTabCtrl::OnLButtonDown(UINT, POINT)
{
    Default();
}

void CTabCtrl::OnSelChange() {}

void CTabCtrl::Default()
{
    QTabBar* pTabBar = GetTabBar();
    if (m_pPendingPress == nullptr || pTabBar == nullptr)
        return;
    QMouseEvent* pPress = m_pPendingPress;
    m_pPendingPress = nullptr;
    pTabBar->removeEventFilter(m_pPressFilter);
    static_cast<QObject*>(pTabBar)->event(pPress);
    pTabBar->installEventFilter(m_pPressFilter);
}

void CTabCtrl::AdoptPages(const std::vector<CWnd*>& pages)
{
    // Tab goes from the tabs into the shown page's controls, then on to the window's other
    // controls.
    QWidget* pPrevious = GetTabBar();
    for (CWnd* pPage : pages) {
        for (QWidget* pControl : pPage->GetWidget()->findChildren<QWidget*>()) {
            if ((pControl->focusPolicy() & Qt::TabFocus) == 0 || pControl->focusProxy() != nullptr)
                continue;
            QWidget::setTabOrder(pPrevious, pControl);
            pPrevious = pControl;
        }
    }
    // Screen readers and automation find each page, and its list, by the label of its tab.
    GetTabBar()->setAccessibleName(QStringLiteral("Pages"));
    for (size_t i = 0; i < pages.size(); ++i) {
        const QString strName = QString::fromStdString(GetItemText(static_cast<int>(i)));
        QWidget* pPage = pages[i]->GetWidget();
        pPage->setAccessibleName(strName);
        for (QTableView* pList : pPage->findChildren<QTableView*>()) {
            if (pList->accessibleName().isEmpty())
                pList->setAccessibleName(strName);
        }
    }
}
