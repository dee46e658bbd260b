// SPDX-License-Identifier: GPL-3.0-or-later
#include "ForwardingSwitch.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr const char* kForwardingPath = "/proc/sys/net/ipv4/ip_forward";

HRESULT FromErrno(int nError)
{
    return nError == EACCES || nError == EPERM ? E_ACCESSDENIED : E_FAIL;
}

// Opens the switch, reads or writes its one character, and closes it again.
template <typename TTransfer>
HRESULT OnSwitch(int nFlags, TTransfer transfer)
{
    const int nFd = ::open(kForwardingPath, nFlags | O_CLOEXEC);
    const bool bDone = nFd >= 0 && transfer(nFd) == 1;
    const int nError = errno;
    if (nFd >= 0)
        ::close(nFd);
    return bDone ? S_OK : FromErrno(nError);
}

} // namespace

HRESULT CForwardingSwitch::Read(bool& bOn)
{
    char c = '0';
    const HRESULT hr = OnSwitch(O_RDONLY, [&c](int nFd) { return ::read(nFd, &c, 1); });
    bOn = c != '0';
    return hr;
}

HRESULT CForwardingSwitch::Write(bool bOn)
{
    const char c = bOn ? '1' : '0';
    return OnSwitch(O_WRONLY, [c](int nFd) { return ::write(nFd, &c, 1); });
}
