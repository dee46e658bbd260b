// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialog.h"

#include "posix/DialogUnits.h"
#include "posix/ListModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEventLoop>
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
#include <QTimer>

namespace
{

// Space above and below the text of a list row, in pixels.
constexpr int kRowPadding = 4;

QRect PixelRect(const RECT& rcDialogUnits, const QFont& font)
{
    const RECT rc = MapDialogRect(rcDialogUnits, font);
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

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

// While a modal dialog runs, its owner hands the keyboard back to it whenever the window manager
// activates the owner (a click on it, say): the owner takes no input meanwhile.
class CModalFocusKeeper : public QObject
{
public:
    CModalFocusKeeper(QWidget* pOwner, QWidget* pDialog) : QObject(pOwner), m_pDialog(pDialog)
    {
        pOwner->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::WindowActivate && m_pDialog != nullptr &&
            m_pDialog->isVisible())
            QTimer::singleShot(0, m_pDialog, [pDialog = m_pDialog] { pDialog->activateWindow(); });
        return false;
    }

private:
    QPointer<QWidget> m_pDialog;
};

} // namespace

struct CDialog::SState {
    std::map<int, QPointer<QWidget>> Controls;
    QEventLoop* pModalLoop = nullptr;

    static QWidget* MakeControl(CDialog& dialog, const SControlTemplate& control, QWidget* pParent);
    static void OwnBy(CDialog& dialog, CWnd* pOwner);
};

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_pState(std::make_unique<SState>())
{
}

CDialog::~CDialog() = default;

bool CDialog::MakeWindow(const SDialogTemplate& dialogTemplate, CWnd* pParentWnd)
{
    const bool bChild = (dialogTemplate.dwStyle & WS_CHILD) != 0;
    QWidget* pParent = pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr;
    auto* pWidget = new QWidget(bChild ? pParent : nullptr);
    const QFont font = DialogFont(dialogTemplate.strFont, dialogTemplate.nPointSize);
    pWidget->setFont(font);
    pWidget->setObjectName(QStringLiteral("IDD_%1").arg(dialogTemplate.nId));
    const QRect rcSize = PixelRect(DialogUnits(0, 0, dialogTemplate.cx, dialogTemplate.cy), font);
    if (bChild) {
        pWidget->resize(rcSize.size());
        pWidget->hide();
    } else {
        // A window without a minimise box is a dialog: no minimise or maximise button.
        const bool bMinimizeBox = (dialogTemplate.dwStyle & WS_MINIMIZEBOX) != 0;
        Qt::WindowFlags flags = (bMinimizeBox ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint |
                                Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        if (bMinimizeBox)
            flags |= Qt::WindowMinimizeButtonHint;
        pWidget->setWindowFlags(flags);
        pWidget->setFixedSize(rcSize.size());
        pWidget->setWindowTitle(QString::fromStdString(dialogTemplate.strCaption));
        m_SystemMenu = CMenu();
        if (bMinimizeBox)
            m_SystemMenu.AppendMenu(MF_STRING, SC_MINIMIZE, "Minimize");
        m_SystemMenu.AppendMenu(MF_STRING, SC_CLOSE, "Close");
    }
    AttachOwned(pWidget, dialogTemplate.dwStyle);
    m_pState->Controls.clear();
    const SControlTemplate* pLabel = nullptr;
    for (const SControlTemplate& control : dialogTemplate.Controls) {
        QWidget* pControl = SState::MakeControl(*this, control, pWidget);
        pControl->setGeometry(PixelRect(control.rcDialogUnits, font));
        pControl->setObjectName(QString::fromStdString(control.strName));
        pControl->setProperty("controlId", control.nId);
        pControl->setVisible((control.dwStyle & WS_VISIBLE) != 0);
        pControl->setEnabled((control.dwStyle & WS_DISABLED) == 0);
        if ((control.dwStyle & WS_TABSTOP) == 0 && control.Kind != EControlKind::TabControl)
            pControl->setFocusPolicy(Qt::NoFocus);
        // As screen readers name a control on the original platform: by the label before it.
        if (pLabel != nullptr && control.Kind != EControlKind::Static)
            pControl->setAccessibleName(QString::fromStdString(pLabel->strText));
        pLabel = control.Kind == EControlKind::Static ? &control : nullptr;
        m_pState->Controls[control.nId] = pControl;
    }
    return true;
}

QWidget* CDialog::SState::MakeControl(CDialog& dialog, const SControlTemplate& control,
                                      QWidget* pParent)
{
    const int nID = control.nId;
    CDialog* pDialog = &dialog;
    const auto notify = [pDialog, nID](WORD wNotifyCode) {
        pDialog->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nID), wNotifyCode), 0);
    };
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

INT_PTR CDialog::DoModal()
{
    m_nModalResult = IDCANCEL;
    if (IsWindow())
        m_bEnded = false;
    else if (!Create(m_nIDTemplate, m_pParentWnd))
        return -1;
    if (m_bEnded)
        return m_nModalResult;
    CWnd* pOwner = ModalOwner();
    SState::OwnBy(*this, pOwner);
    // Goes with the owner's window, should that go first.
    QPointer<CModalFocusKeeper> pKeeper;
    if (pOwner != nullptr && pOwner->GetSafeHwnd() != nullptr)
        pKeeper = new CModalFocusKeeper(pOwner->GetSafeHwnd(), GetSafeHwnd());
    QEventLoop loop;
    m_pState->pModalLoop = &loop;
    RunningModals().push_back(this);
    ShowWindow(SW_SHOW);
    loop.exec();
    std::erase(RunningModals(), this);
    m_pState->pModalLoop = nullptr;
    delete pKeeper;
    return m_nModalResult;
}

void CDialog::SState::OwnBy(CDialog& dialog, CWnd* pOwner)
{
    if (pOwner == nullptr || pOwner->GetSafeHwnd() == nullptr)
        return;
    // A window of the owner's that stays above it and takes all its input while it runs.
    QWidget* pWidget = dialog.GetSafeHwnd();
    pWidget->setParent(pOwner->GetSafeHwnd(), pWidget->windowFlags());
    pWidget->setWindowModality(Qt::WindowModal);
}

void CDialog::EndDialog(int nResult)
{
    m_bEnded = true;
    m_nModalResult = nResult;
    ShowWindow(SW_HIDE);
    if (m_pState->pModalLoop != nullptr)
        m_pState->pModalLoop->exit(nResult);
    EndOwnedWindows();
}

void CDialog::EndOwnedWindows()
{
    // The dialogs and message boxes that a window owns end with it.
    if (GetSafeHwnd() == nullptr)
        return;
    for (QWidget* pOwned : GetSafeHwnd()->findChildren<QWidget*>()) {
        if (!pOwned->isWindow() || !pOwned->isVisible())
            continue;
        if (auto* pDialog = dynamic_cast<CDialog*>(CWnd::FromHandle(pOwned)))
            pDialog->EndDialog(IDCANCEL);
        else if (auto* pBox = qobject_cast<QDialog*>(pOwned))
            pBox->reject();
    }
}

QWidget* CDialog::GetDlgItem(int nID) const
{
    auto it = m_pState->Controls.find(nID);
    return it == m_pState->Controls.end() ? nullptr : it->second.data();
}

void CDialog::SetDlgItemText(int nID, const std::string& strText)
{
    QWidget* pControl = GetDlgItem(nID);
    const QString strValue = QString::fromStdString(strText);
    if (auto* pLabel = qobject_cast<QLabel*>(pControl))
        pLabel->setText(strValue);
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pControl))
        pEdit->setText(strValue);
    else if (auto* pButton = qobject_cast<QPushButton*>(pControl))
        pButton->setText(strValue);
}

void CDialog::AppendAboutItem(UINT nCommand, int nStringId)
{
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    const std::string strAboutMenu = CResources::Current().LoadString(nStringId);
    if (pSysMenu == nullptr || strAboutMenu.empty())
        return;
    pSysMenu->AppendMenu(MF_SEPARATOR);
    pSysMenu->AppendMenu(MF_STRING, nCommand, strAboutMenu);
}

void CDialog::ShowSystemMenu(POINT point)
{
    const UINT nCommand = m_SystemMenu.Track(point);
    if (nCommand != 0)
        PostMessage(WM_SYSCOMMAND, nCommand, 0);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Alt+Space opens the system menu at the window's top-left corner.
    if (message == WM_SYSKEYDOWN && wParam == VK_SPACE && GetSystemMenu(FALSE) != nullptr) {
        POINT point{0, 0};
        ClientToScreen(&point);
        ShowSystemMenu(point);
        return 1;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnContextMenu(CWnd*, POINT point)
{
    if (GetSystemMenu(FALSE) == nullptr || point.x < 0)
        return FALSE;
    const QPoint local = GetSafeHwnd()->mapFromGlobal(QPoint(point.x, point.y));
    for (const auto& [nID, pControl] : m_pState->Controls) {
        if (pControl != nullptr && pControl->isVisible() && pControl->geometry().contains(local))
            return FALSE;
    }
    ShowSystemMenu(point);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN)
        return FALSE;
    // The standard dialog keys: Enter presses the focused push button, or else gives the
    // dialog its OK command; Escape gives it its Cancel command.
    if (pMsg->wParam == VK_RETURN) {
        auto* pButton = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (pButton != nullptr && GetSafeHwnd()->isAncestorOf(pButton))
            pButton->click();
        else
            SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    if (pMsg->wParam == VK_ESCAPE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}
