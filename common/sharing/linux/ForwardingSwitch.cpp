// SPDX-License-Identifier: GPL-3.0-or-later
#include "ForwardingSwitch.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace
{

constexpr const char* kForwardingPath = "/proc/sys/net/ipv4/ip_forward";

std::string PathOf(const std::string& strInterface)
{
    return strInterface.empty() ? kForwardingPath
                                : "/proc/sys/net/ipv4/conf/" + strInterface + "/forwarding";
}

HRESULT FromErrno(int nError)
{
    return nError == EACCES || nError == EPERM ? E_ACCESSDENIED : E_FAIL;
}

// Opens the switch, reads or writes its one character, and closes it again.
template <typename TTransfer>
HRESULT OnSwitch(const std::string& strInterface, int nFlags, TTransfer transfer)
{
    // A name that could leave the folder is no interface's.
    if (strInterface.find('/') != std::string::npos || strInterface == "." || strInterface == "..")
        return E_INVALIDARG;
    const int nFd = ::open(PathOf(strInterface).c_str(), nFlags | O_CLOEXEC);
    const bool bDone = nFd >= 0 && transfer(nFd) == 1;
    const int nError = errno;
    if (nFd >= 0)
        ::close(nFd);
    return bDone ? S_OK : FromErrno(nError);
}

} // namespace

HRESULT CForwardingSwitch::Read(bool& bOn, const std::string& strInterface)
{
    char c = '0';
    const HRESULT hr =
        OnSwitch(strInterface, O_RDONLY, [&c](int nFd) { return ::read(nFd, &c, 1); });
    if (SUCCEEDED(hr))
        bOn = c != '0';
    return hr;
}

HRESULT CForwardingSwitch::Write(bool bOn, const std::string& strInterface)
{
    const char c = bOn ? '1' : '0';
    return OnSwitch(strInterface, O_WRONLY, [c](int nFd) { return ::write(nFd, &c, 1); });
}
