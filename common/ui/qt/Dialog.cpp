// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog over a Qt widget: made from its template, run modally over its owner, with its
// dialog keys and a stand-in for the system menu.
#include "Dialog.h"

#include "qt/DialogControls.h"
#include "qt/DialogUnits.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace
{

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
        const int nID = control.nId;
        QWidget* pControl = MakeControl(control, pWidget, font, [this, nID](WORD wNotifyCode) {
            SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nID), wNotifyCode), 0);
        });
        // As screen readers name a control on the original platform: by the label before it.
        if (pLabel != nullptr && control.Kind != EControlKind::Static)
            pControl->setAccessibleName(QString::fromStdString(pLabel->strText));
        pLabel = control.Kind == EControlKind::Static ? &control : nullptr;
        m_pState->Controls[control.nId] = pControl;
    }
    return true;
}

INT_PTR CDialog::DoModal()
{
    if (const std::optional<INT_PTR> nResult = PrepareModal())
        return *nResult;
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

bool CDialog::PressFocusedButton()
{
    auto* pButton = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (pButton == nullptr || !GetSafeHwnd()->isAncestorOf(pButton))
        return false;
    pButton->click();
    return true;
}

// The stand-in for the system menu is the program's own menu.
void CDialog::AppendToWindowMenu(UINT, const std::string&) {}
