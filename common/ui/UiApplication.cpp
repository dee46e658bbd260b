// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiApplication.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>

namespace
{

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

CUiApplication::CUiApplication(int& argc, char** argv)
{
    const bool bNoScreen = ChooseOffscreenPlatform();
    m_pApplication = std::make_unique<QApplication>(argc, argv);
    if (bNoScreen)
        m_pApplication->installEventFilter(new CNoDrawingFilter(m_pApplication.get()));
}

CUiApplication::~CUiApplication()
{
    m_pSignalNotifier.reset();
}

bool CUiApplication::IsHeadless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}
