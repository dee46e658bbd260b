// SPDX-License-Identifier: GPL-3.0-or-later
// What the application does on the desktops of Linux: offscreen without a display, and the
// termination signals read through a descriptor.
#include "UiApplication.h"

#include "Journal.h"
#include "Wnd.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

bool HasEnvironment(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

// A signal handler may only write to a descriptor; the window thread reads the other end.
int g_nSignalFds[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_nSignalFds[0], &c, 1);
}

// Qt's own messages, as Qt words them, with their priority for the journal.
void WriteQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const Journal::EPriority priority = type == QtDebugMsg  ? Journal::EPriority::Debug
                                        : type == QtInfoMsg ? Journal::EPriority::Info
                                                            : Journal::EPriority::Warning;
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s%s\n", Journal::LinePrefix(priority, STDERR_FILENO), text.constData());
    std::fflush(stderr);
}

// True when there is no screen at all, and so Qt's offscreen platform was chosen here.
bool ChooseOffscreenPlatform()
{
    if (HasEnvironment("DISPLAY") || HasEnvironment("WAYLAND_DISPLAY") ||
        HasEnvironment("QT_QPA_PLATFORM"))
        return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

// Without a screen no one sees a window: windows stay shown as far as the program can tell, but
// are never drawn, so that drawing takes no time from the program's own work.
class CNoDrawingFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        // Only widgets are looked at: events that other threads post to the windows' bridges
        // are theirs to take over first.
        auto* pWidget = qobject_cast<QWidget*>(pObject);
        if (pWidget != nullptr && pWidget->isWindow() && pEvent->type() == QEvent::Polish)
            pWidget->setUpdatesEnabled(false);
        return false;
    }
};

} // namespace

// Destroyed in reverse order of declaration: the notifier before the application it belongs to.
struct CUiApplication::SState {
    std::unique_ptr<QApplication> pApplication;
    std::unique_ptr<QSocketNotifier> pSignalNotifier;
};

CUiApplication::CUiApplication(int& argc, char** argv, const char* pszDesktopName)
{
    const bool bNoScreen = ChooseOffscreenPlatform();
    if (*Journal::LinePrefix(Journal::EPriority::Warning, STDERR_FILENO) != '\0')
        qInstallMessageHandler(WriteQtMessage);
    m_pState = std::make_unique<SState>();
    m_pState->pApplication = std::make_unique<QApplication>(argc, argv);
    // Matches the window to its menu entry and icon in the desktop's task bar.
    if (pszDesktopName != nullptr)
        QGuiApplication::setDesktopFileName(QString::fromLatin1(pszDesktopName));
    if (bNoScreen)
        m_pState->pApplication->installEventFilter(
            new CNoDrawingFilter(m_pState->pApplication.get()));
}

CUiApplication::~CUiApplication() = default;

bool CUiApplication::IsHeadless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

void CUiApplication::CloseOnTerminationSignals(CWnd* pMainWnd)
{
    if (g_nSignalFds[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_nSignalFds) != 0)
        return;
    m_pState->pSignalNotifier =
        std::make_unique<QSocketNotifier>(g_nSignalFds[1], QSocketNotifier::Read);
    QObject::connect(m_pState->pSignalNotifier.get(), &QSocketNotifier::activated, [pMainWnd] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_nSignalFds[1], &c, 1);
        pMainWnd->PostMessage(WM_CLOSE);
    });
    struct sigaction action {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
