// SPDX-License-Identifier: GPL-3.0-or-later
// The real server as a child process, for the tests that run the program: its log read from its
// standard output, and its platform's way to ask it to end (SIGTERM, as a service manager stops
// it, or WM_CLOSE, as its close button does).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadFile(const std::string& strPath)
{
    std::ifstream file(strPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

#ifdef _WIN32
#include "ServerProcess_win.h"
#else
#include "ServerProcess_posix.h"
#endif
