// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DialogControls.h"

#include "qt/DialogUnits.h"
#include "qt/ListModel.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>

namespace
{

// Space above and below the text of a list row, in pixels.
constexpr int kRowPadding = 4;

// A report view without full-row selection: only a row's first column shows it selected, and a
// press on another column hits no item, so it acts as a press beside the rows.
class CFirstColumnSelection : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        auto* pView = qobject_cast<QAbstractItemView*>(pObject->parent());
        if (pView == nullptr || pObject != pView->viewport())
            return QStyledItemDelegate::eventFilter(pObject, pEvent);
        if (pEvent->type() != QEvent::MouseButtonPress &&
            pEvent->type() != QEvent::MouseButtonDblClick)
            return false;
        const QModelIndex index =
            pView->indexAt(static_cast<QMouseEvent*>(pEvent)->position().toPoint());
        if (index.isValid() && index.column() == 0)
            return false;
        pView->clearSelection();
        pView->setFocus(Qt::MouseFocusReason);
        return true;
    }

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        // Some styles paint a selected row's background across all its cells first.
        if (index.column() != 0 && (option.state & QStyle::State_Selected) != 0)
            pPainter->fillRect(option.rect, option.palette.brush(QPalette::Base));
        QStyledItemDelegate::paint(pPainter, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(pOption, index);
        if (index.column() != 0)
            pOption->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    }
};

QWidget* MakeListView(const SControlTemplate& control, QWidget* pParent)
{
    // A table over a compact model: a report list of many rows stays cheap to add to.
    auto* pList = new QTableView(pParent);
    pList->setModel(new CListModel(pList));
    pList->setShowGrid(false);
    pList->setWordWrap(false);
    pList->setTabKeyNavigation(false);
    pList->setCornerButtonEnabled(false);
    pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* pSelection = new CFirstColumnSelection(pList);
    pList->setItemDelegate(pSelection);
    pList->viewport()->installEventFilter(pSelection);
    pList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* pRows = pList->verticalHeader();
    pRows->hide();
    pRows->setSectionResizeMode(QHeaderView::Fixed);
    pRows->setDefaultSectionSize(pList->fontMetrics().height() + kRowPadding);
    QHeaderView* pColumns = pList->horizontalHeader();
    pColumns->setSectionsMovable(false);
    pColumns->setStretchLastSection(false);
    pColumns->setHighlightSections(false);
    pColumns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pList->setSelectionMode((control.dwStyle & LVS_SINGLESEL) != 0
                                ? QAbstractItemView::SingleSelection
                                : QAbstractItemView::ExtendedSelection);
    if ((control.dwStyle & WS_BORDER) == 0)
        pList->setFrameShape(QFrame::NoFrame);
    if ((control.dwStyle & LVS_SHOWSELALWAYS) == 0) {
        // The selection is not shown while the list has no focus.
        QPalette palette = pList->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Inactive, QPalette::Base));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Inactive, QPalette::Text));
        pList->setPalette(palette);
    }
    return pList;
}

// A tab control: a row of tabs over a framed pane; its pages are placed on it by its owner.
QWidget* MakeTabControl(QWidget* pParent)
{
    auto* pTabControl = new QWidget(pParent);
    auto* pPane = new QFrame(pTabControl);
    pPane->setObjectName(QStringLiteral("pane"));
    pPane->setFrameShape(QFrame::StyledPanel);
    auto* pTabBar = new QTabBar(pTabControl);
    pTabBar->setObjectName(QStringLiteral("tabs"));
    pTabBar->setFocusPolicy(Qt::StrongFocus);
    pTabBar->setDrawBase(false);
    pTabBar->setExpanding(false);
    return pTabControl;
}

QWidget* MakeButton(const SControlTemplate& control, QWidget* pParent)
{
    auto* pButton = new QPushButton(QString::fromStdString(control.strText), pParent);
    pButton->setAutoDefault(false);
    pButton->setDefault((control.dwStyle & BS_DEFPUSHBUTTON) != 0);
    return pButton;
}

QWidget* MakeWidget(const SControlTemplate& control, QWidget* pParent,
                    const std::function<void(WORD)>& notify)
{
    switch (control.Kind) {
    case EControlKind::Button: {
        QWidget* pButton = MakeButton(control, pParent);
        QObject::connect(static_cast<QPushButton*>(pButton), &QPushButton::clicked, pButton,
                         [notify] { notify(BN_CLICKED); });
        return pButton;
    }
    case EControlKind::Edit: {
        auto* pEdit = new QLineEdit(QString::fromStdString(control.strText), pParent);
        QObject::connect(pEdit, &QLineEdit::textChanged, pEdit, [notify] { notify(EN_CHANGE); });
        return pEdit;
    }
    case EControlKind::Static:
        return new QLabel(QString::fromStdString(control.strText), pParent);
    case EControlKind::Icon: {
        auto* pLabel = new QLabel(pParent);
        if (HICON hIcon = CResources::Current().LoadIcon(std::stoi(control.strText)))
            pLabel->setPixmap(hIcon->pixmap(32, 32));
        return pLabel;
    }
    case EControlKind::ListView:
        return MakeListView(control, pParent);
    case EControlKind::TabControl:
        return MakeTabControl(pParent);
    }
    return new QWidget(pParent);
}

} // namespace

QRect PixelRect(const RECT& rcDialogUnits, const QFont& font)
{
    const RECT rc = MapDialogRect(rcDialogUnits, font);
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

QWidget* MakeControl(const SControlTemplate& control, QWidget* pParent, const QFont& font,
                     const std::function<void(WORD)>& notify)
{
    QWidget* pControl = MakeWidget(control, pParent, notify);
    pControl->setGeometry(PixelRect(control.rcDialogUnits, font));
    pControl->setObjectName(QString::fromStdString(control.strName));
    pControl->setProperty("controlId", control.nId);
    pControl->setVisible((control.dwStyle & WS_VISIBLE) != 0);
    pControl->setEnabled((control.dwStyle & WS_DISABLED) == 0);
    if ((control.dwStyle & WS_TABSTOP) == 0 && control.Kind != EControlKind::TabControl)
        pControl->setFocusPolicy(Qt::NoFocus);
    return pControl;
}
