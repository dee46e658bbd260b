// SPDX-License-Identifier: GPL-3.0-or-later
// The window thread on Windows: its own message loop, for the loops that run a modal dialog, and
// the registered messages that carry calls to a window from other threads.
#pragma once

#include "UiTypes.h"

// One message taken from the thread's queue: the key hooks, the dialog keys, then dispatch.
void PumpMessage(MSG& msg);

// A call posted to a window: run and freed by whoever takes the message from the queue.
UINT CallMessage();
// A call sent to a window from another thread: runs while the sender waits.
UINT SentCallMessage();
void RunPostedCall(const MSG& msg);
// The first thread that makes a window is the window thread.
void NoteWindowThread();
