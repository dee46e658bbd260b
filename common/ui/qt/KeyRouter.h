// SPDX-License-Identifier: GPL-3.0-or-later
// The key routing of the windowing layer over Qt: every key press reaches the windows' hooks
// (PreTranslateMessage, walked up to the top-level window) before the widget that has the focus.
#pragma once

// Installs the routing on the application, once; a window calls it when it takes its widget.
void InstallKeyRouter();
