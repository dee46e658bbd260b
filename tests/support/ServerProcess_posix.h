// SPDX-License-Identifier: GPL-3.0-or-later
// The server as a headless child process; its traces kept in a file.
#pragma once

#include "ProcessRunner.h"

#include <optional>

class CServerProcess : public CProcessRunner
{
public:
    CServerProcess(const std::string& strPath, const std::string& strTracePath,
                   EStreams streams = EStreams::Separate)
        : CProcessRunner(strPath, strTracePath, streams), m_strTracePath(strTracePath)
    {
    }

    // As a service manager stops it.
    bool RequestClose()
    {
        Signal(SIGTERM);
        return true;
    }

    // The exit code; none when it has not ended in time or a signal ended it.
    std::optional<int> ExitCode(std::chrono::milliseconds timeout)
    {
        const int nStatus = WaitForExit(timeout);
        if (nStatus == -1 || !WIFEXITED(nStatus))
            return std::nullopt;
        return WEXITSTATUS(nStatus);
    }

    // The server's traces, where the platform writes them to standard error.
    std::optional<std::string> Trace() const { return ReadFile(m_strTracePath); }

private:
    std::string m_strTracePath;
};
