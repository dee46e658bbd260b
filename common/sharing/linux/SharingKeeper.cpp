// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingKeeper.h"

#include "Kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

void CSharingKeeper::Release()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}

bool CSharingKeeper::TryToKeep()
{
    if (IsKeeper())
        return true;
    const int nFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (nFd < 0)
        return false;
    // An abstract name: a NUL first, then the name, without a file behind it.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t nLength = std::min(std::strlen(kName), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, kName, nLength);
    const auto nAddressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + nLength);
    if (::bind(nFd, reinterpret_cast<const sockaddr*>(&address), nAddressLength) != 0) {
        OutputDebugStringA("CSharingKeeper::TryToKeep(): another server keeps the sharing\n");
        ::close(nFd);
        return false;
    }
    m_nFd = nFd;
    return true;
}
