// SPDX-License-Identifier: GPL-3.0-or-later
#include "TabCtrl.h"

#include <QFrame>
#include <QMouseEvent>
#include <QTabBar>
#include <QTableView>
#include <functional>
#include <memory>

namespace
{

// Hands the tab row's left-button presses to their handler before the row sees them.
class CPressFilter : public QObject
{
public:
    explicit CPressFilter(std::function<void(QMouseEvent*)> onPress) : m_OnPress(std::move(onPress))
    {
    }

    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() != QEvent::MouseButtonPress)
            return false;
        auto* pPress = static_cast<QMouseEvent*>(pEvent);
        if (pPress->button() != Qt::LeftButton)
            return false;
        m_OnPress(pPress);
        return true;
    }

private:
    std::function<void(QMouseEvent*)> m_OnPress;
};

} // namespace

struct CTabCtrl::SState {
    std::unique_ptr<CPressFilter> pPressFilter;

    static QTabBar* TabBar(const CTabCtrl& tabs);
    static void Hook(CTabCtrl& tabs);
    static void LayOut(CTabCtrl& tabs);
};

CTabCtrl::CTabCtrl() : m_pState(std::make_unique<SState>()) {}

CTabCtrl::~CTabCtrl()
{
    if (QTabBar* pTabBar = SState::TabBar(*this))
        pTabBar->removeEventFilter(m_pState->pPressFilter.get());
}

QTabBar* CTabCtrl::SState::TabBar(const CTabCtrl& tabs)
{
    QWidget* pWidget = tabs.GetSafeHwnd();
    return pWidget != nullptr
               ? pWidget->findChild<QTabBar*>(QStringLiteral("tabs"), Qt::FindDirectChildrenOnly)
               : nullptr;
}

// A press goes through WindowProc to OnLButtonDown; the row's own handling is what Default runs.
// A change of the selected tab is the row's notification, handed back to the control.
void CTabCtrl::SState::Hook(CTabCtrl& tabs)
{
    QTabBar* pTabBar = TabBar(tabs);
    if (tabs.m_pState->pPressFilter != nullptr || pTabBar == nullptr)
        return;
    CTabCtrl* pTabs = &tabs;
    tabs.m_pState->pPressFilter =
        std::make_unique<CPressFilter>([pTabs, pTabBar](QMouseEvent* pPress) {
            CPressFilter* pFilter = pTabs->m_pState->pPressFilter.get();
            const QPoint point = pPress->position().toPoint();
            LRESULT lResult = 0;
            pTabs->Dispatch(WM_LBUTTONDOWN, 0,
                            MAKELPARAM(static_cast<WORD>(point.x()), static_cast<WORD>(point.y())),
                            lResult, [pTabBar, pFilter, pPress] {
                                pTabBar->removeEventFilter(pFilter);
                                static_cast<QObject*>(pTabBar)->event(pPress);
                                pTabBar->installEventFilter(pFilter);
                                return LRESULT{0};
                            });
        });
    pTabBar->installEventFilter(tabs.m_pState->pPressFilter.get());
    // As the system's tab control does: the change is a notification to the parent.
    QObject::connect(pTabBar, &QTabBar::currentChanged, pTabBar, [pTabs] {
        const NMHDR header{pTabs->GetSafeHwnd(), 0, TCN_SELCHANGE};
        if (CWnd* pParent = pTabs->GetParent())
            pParent->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    });
}

void CTabCtrl::SState::LayOut(CTabCtrl& tabs)
{
    QTabBar* pTabBar = TabBar(tabs);
    auto* pPane = tabs.GetSafeHwnd()->findChild<QFrame*>(QStringLiteral("pane"));
    // The tabs stand two pixels in from the corner; the pane takes the rest below them.
    pTabBar->setGeometry(2, 2, pTabBar->sizeHint().width(), pTabBar->sizeHint().height());
    const int nPaneTop = pTabBar->geometry().bottom() + 1;
    pPane->setGeometry(0, nPaneTop, tabs.GetSafeHwnd()->width(),
                       tabs.GetSafeHwnd()->height() - nPaneTop);
    pPane->lower();
}

int CTabCtrl::InsertItem(int nItem, const std::string& strLabel)
{
    QTabBar* pTabBar = SState::TabBar(*this);
    if (pTabBar == nullptr)
        return -1;
    SState::Hook(*this);
    const QSignalBlocker blocker(pTabBar);
    const int nIndex = pTabBar->insertTab(nItem, QString::fromStdString(strLabel));
    SState::LayOut(*this);
    return nIndex;
}

int CTabCtrl::GetItemCount() const
{
    QTabBar* pTabBar = SState::TabBar(*this);
    return pTabBar != nullptr ? pTabBar->count() : 0;
}

std::string CTabCtrl::GetItemText(int nItem) const
{
    QTabBar* pTabBar = SState::TabBar(*this);
    return pTabBar != nullptr ? pTabBar->tabText(nItem).toStdString() : std::string();
}

BOOL CTabCtrl::GetItemRect(int nItem, RECT* pRect) const
{
    QTabBar* pTabBar = SState::TabBar(*this);
    if (pTabBar == nullptr || nItem < 0 || nItem >= pTabBar->count())
        return FALSE;
    const QRect rc = pTabBar->tabRect(nItem).translated(pTabBar->pos());
    *pRect = RECT{rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
    return TRUE;
}

int CTabCtrl::GetCurSel() const
{
    QTabBar* pTabBar = SState::TabBar(*this);
    return pTabBar != nullptr ? pTabBar->currentIndex() : -1;
}

int CTabCtrl::SetCurSel(int nItem)
{
    QTabBar* pTabBar = SState::TabBar(*this);
    if (pTabBar == nullptr || nItem < 0 || nItem >= pTabBar->count())
        return -1;
    const int nPrevious = pTabBar->currentIndex();
    // Selecting a tab in code is no user's change: no notification.
    const QSignalBlocker blocker(pTabBar);
    pTabBar->setCurrentIndex(nItem);
    return nPrevious;
}

void CTabCtrl::AdoptPages(const std::vector<CWnd*>& pages)
{
    // Tab goes from the tabs into the shown page's controls, then on to the window's other
    // controls.
    QWidget* pPrevious = SState::TabBar(*this);
    for (CWnd* pPage : pages) {
        for (QWidget* pControl : pPage->GetSafeHwnd()->findChildren<QWidget*>()) {
            if ((pControl->focusPolicy() & Qt::TabFocus) == 0 || pControl->focusProxy() != nullptr)
                continue;
            QWidget::setTabOrder(pPrevious, pControl);
            pPrevious = pControl;
        }
    }
    // Screen readers and automation find each page, and its list, by the label of its tab.
    SState::TabBar(*this)->setAccessibleName(QStringLiteral("Pages"));
    for (size_t i = 0; i < pages.size(); ++i) {
        const QString strName = QString::fromStdString(GetItemText(static_cast<int>(i)));
        QWidget* pPage = pages[i]->GetSafeHwnd();
        pPage->setAccessibleName(strName);
        for (QTableView* pList : pPage->findChildren<QTableView*>()) {
            if (pList->accessibleName().isEmpty())
                pList->setAccessibleName(strName);
        }
    }
}
