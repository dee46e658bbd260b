// SPDX-License-Identifier: GPL-3.0-or-later
// A program started with no screen at all (no display, no platform chosen) runs on Qt's
// offscreen platform: its windows count as shown, but nothing is ever drawn.
#include "UiApplication.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <cstdlib>
#include <gtest/gtest.h>

namespace
{

class CPaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nPaints += pEvent->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int m_nPaints = 0;
};

} // namespace

TEST(HeadlessTest, windowsWithoutAScreenAreShownButNeverDrawn)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    int argc = 1;
    char szName[] = "HeadlessTest";
    char* argv[] = {szName, nullptr};
    CUiApplication application(argc, argv);
    EXPECT_TRUE(CUiApplication::IsHeadless());
    QWidget window;
    auto* pLabel = new QLabel(QStringLiteral("Log"), &window);
    (new QVBoxLayout(&window))->addWidget(pLabel);
    CPaintCounter counter;
    window.installEventFilter(&counter);
    pLabel->installEventFilter(&counter);
    window.show();
    for (int i = 0; i < 5; ++i) {
        pLabel->setText(QString::number(i));
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(counter.m_nPaints, 0);
    // A window made later is not drawn either.
    QWidget later;
    later.installEventFilter(&counter);
    later.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.m_nPaints, 0);
}
