// SPDX-License-Identifier: GPL-3.0-or-later
// What the files of our Winsock share, and nothing outside them uses: the error numbers, what a
// socket's descriptor tells of it, and the interface list; and the network events selected onto
// event objects (NetworkEventSelections_posix.h).
#pragma once

#include "NetworkEventSelections_posix.h"
#include "WinSock.h"

#include <fcntl.h>
#include <sys/socket.h>

namespace WinsockLayer
{

// The Winsock number of an errno value.
int MapErrno(int nErrno);
// Sets the last error and returns SOCKET_ERROR.
int Fail(int nWsaError);
int FailFromErrno();
// The call's own result, or SOCKET_ERROR with the last error set from errno.
int Result(int nResult);
// The socket's pending error as a Winsock number, 0 when none.
int PendingError(SOCKET s);

inline bool IsSocket(SOCKET s)
{
    int nType = 0;
    socklen_t nLength = sizeof nType;
    return ::getsockopt(s, SOL_SOCKET, SO_TYPE, &nType, &nLength) == 0;
}

inline bool IsListening(SOCKET s)
{
    int nListening = 0;
    socklen_t nLength = sizeof nListening;
    return ::getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &nListening, &nLength) == 0 &&
           nListening != 0;
}

inline bool IsConnected(SOCKET s)
{
    sockaddr_storage peer{};
    socklen_t nLength = sizeof peer;
    return ::getpeername(s, reinterpret_cast<sockaddr*>(&peer), &nLength) == 0;
}

inline bool SetNonBlocking(SOCKET s)
{
    const int nFlags = ::fcntl(s, F_GETFL);
    return nFlags >= 0 && ::fcntl(s, F_SETFL, nFlags | O_NONBLOCK) == 0;
}

inline bool SetBlocking(SOCKET s)
{
    const int nFlags = ::fcntl(s, F_GETFL);
    return nFlags >= 0 && ::fcntl(s, F_SETFL, nFlags & ~O_NONBLOCK) == 0;
}

inline bool IsNonBlocking(SOCKET s)
{
    const int nFlags = ::fcntl(s, F_GETFL);
    return nFlags >= 0 && (nFlags & O_NONBLOCK) != 0;
}

// The records of the interface list query (SIO_GET_INTERFACE_LIST).
int GetInterfaceList(LPVOID lpvOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbBytesReturned);

} // namespace WinsockLayer
