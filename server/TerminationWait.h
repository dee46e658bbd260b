// SPDX-License-Identifier: GPL-3.0-or-later
// CTerminationWait: the gateway's server waits here until the system asks it to end (SIGINT,
// SIGTERM) or the server ends itself, and then closes as its window's Close would; or until its
// service manager asks it to read its settings again (SIGHUP). The signals are taken by this wait
// alone, never by a handler that interrupts another thread.
#pragma once

class CTerminationWait
{
public:
    // Made before any other thread of the process, which all leave the signals to the wait.
    CTerminationWait();
    ~CTerminationWait();
    CTerminationWait(const CTerminationWait&) = delete;
    CTerminationWait& operator=(const CTerminationWait&) = delete;

    // From any thread: the wait ends as if a signal had come.
    void Wake();
    enum class EWoken { End, Reload };
    // Until a signal, or Wake (an end).
    EWoken Wait();

private:
    int m_nSignalFd = -1;
    int m_nWakeFd = -1;
};
