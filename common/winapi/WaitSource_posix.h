// SPDX-License-Identifier: GPL-3.0-or-later
// What a wait on kernel objects watches besides the objects themselves: the sockets selected
// onto an event object, so that a thread waiting for a network event wakes on the socket itself
// instead of through another thread. Between the kernel layer and the socket layer only.
#pragma once

#include "WinTypes_posix.h"

#include <poll.h>
#include <vector>

class CWaitSource
{
public:
    // Adds the descriptors that can signal the event object, each with the poll events wanted.
    virtual void AddDescriptors(HANDLE hEvent, std::vector<pollfd>& fds) = 0;
    // Records what a poll found on a descriptor, signalling the event object it is selected onto.
    virtual void Record(int nFd) = 0;

protected:
    ~CWaitSource() = default;
};

// The socket layer's source, set before any socket is selected onto an event object.
void SetWaitSource(CWaitSource* pSource);
// Makes every thread that waits on the object look again at what the wait watches. Callers may
// hold their own lock, which the kernel layer never takes.
void WakeWaiters(HANDLE hObject);
