// SPDX-License-Identifier: GPL-3.0-or-later
// The server as a child process with its window; its traces go to the debugger.
#pragma once

#include "WindowsProcess.h"

#include <optional>

class CServerProcess : public CWindowsProcess
{
public:
    CServerProcess(const std::string& strPath, const std::string&) : CWindowsProcess(strPath) {}

    // As the window's close button does, once the window is there.
    bool RequestClose()
    {
        const HWND hWnd = FindWindow("Verrow", std::chrono::seconds(30));
        return hWnd != nullptr && ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    }

    // The exit code; none when it has not ended in time.
    std::optional<int> ExitCode(std::chrono::milliseconds timeout)
    {
        const DWORD dwCode = WaitForExit(timeout);
        if (dwCode == STILL_ACTIVE)
            return std::nullopt;
        return static_cast<int>(dwCode);
    }

    // Windows gives the traces to the debugger (OutputDebugString), not to a stream.
    std::optional<std::string> Trace() const { return std::nullopt; }
};
