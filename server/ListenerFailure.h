// SPDX-License-Identifier: GPL-3.0-or-later
// CListenerFailure: what ends the listener's thread for good, with the trace that says why. The
// thread's top catches it, writes the trace followed by "Server Thread is exiting", and logs that
// the server no longer listens; so it does for what the C++ library throws there.
#pragma once

#include "Format.h"
#include "WinSock.h"

#include <string>
#include <utility>

class CListenerFailure
{
public:
    explicit CListenerFailure(std::string strTrace) : m_strTrace(std::move(strTrace)) {}

    // A Winsock call that failed, with the error it left.
    static CListenerFailure OfCall(const char* pszCall)
    {
        return CListenerFailure(
            FormatText("CTarnlowServerDlg::ServerThread(): %s failed with error: %d\n", pszCall,
                       Winsock::WSAGetLastError()));
    }

    const std::string& Trace() const { return m_strTrace; }

private:
    std::string m_strTrace;
};
