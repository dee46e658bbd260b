// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the window tests on the windows held in memory: the windowing library's
// application, then GoogleTest.
#include "UiApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    CUiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
