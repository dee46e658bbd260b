// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the widget tests: Qt on its offscreen platform, then GoogleTest.
#include "UiApplication.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    CUiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
