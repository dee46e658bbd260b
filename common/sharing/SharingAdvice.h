// SPDX-License-Identifier: GPL-3.0-or-later
// ITarnlowSharingAdvice: an optional interface of our own on a sharing manager, for what a service
// has to say beyond a change's result: what else on the machine stands in the way of a sharing
// it made, or of the LAN's clients on their way to the server, and what it did of its own accord
// to keep a sharing (restored after a reboot, or after another program undid it). The manager
// asks for it with QueryInterface; the system's service on Windows lacks it, and then there is
// nothing to say.
#pragma once

#include "Com.h"

inline constexpr IID IID_ITarnlowSharingAdvice = {
    0x6A1F3C52, 0x9D47, 0x4E0B, {0x8C, 0x21, 0x5B, 0x7E, 0x93, 0x0D, 0x4F, 0xA6}};

struct ITarnlowSharingAdvice : IUnknown {
    // The port at which the LAN's clients reach the server: the service says what keeps them from
    // it, now and after each sharing it makes.
    virtual HRESULT SetClientPort(LONG nPort) = 0;
    // An event that the service sets whenever it says something of its own accord, so that it is
    // taken at once; null for none. The event must outlive its use here.
    virtual HRESULT SetAdviceEvent(HANDLE hEvent) = 0;
    // The oldest thing said since the last call, and gone with it, and whether it is a warning (a
    // failure, a refusal, something in the way); S_FALSE and null when nothing is left to say.
    virtual HRESULT TakeAdvice(BSTR* pbstrAdvice, BOOL* pbWarning) = 0;
    // Between these, the calling thread's questions to the service's objects are answered from
    // one reading of the system, taken at the first of them and read again after any change: a
    // refresh of N connections asks the system once, not several times N.
    virtual HRESULT BeginReading() = 0;
    virtual HRESULT EndReading() = 0;

protected:
    ~ITarnlowSharingAdvice() = default;
};
