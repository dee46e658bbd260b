// SPDX-License-Identifier: GPL-3.0-or-later
// The signals are blocked and read from a signalfd, beside an eventfd for Wake.
#include "TerminationWait.h"

#include "Kernel.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace
{

sigset_t TerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

} // namespace

CTerminationWait::CTerminationWait()
{
    m_nWakeFd = ::eventfd(0, EFD_CLOEXEC);
    const sigset_t signals = TerminationSignals();
    // Where the signals cannot be read, they keep their default: they end the process.
    m_nSignalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (m_nSignalFd >= 0)
        ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    else
        OutputDebugStringA("CTerminationWait::CTerminationWait(): signalfd() failed\n");
}

CTerminationWait::~CTerminationWait()
{
    for (const int nFd : {m_nSignalFd, m_nWakeFd}) {
        if (nFd >= 0)
            ::close(nFd);
    }
}

void CTerminationWait::Wake()
{
    const std::uint64_t nOne = 1;
    [[maybe_unused]] const ssize_t nWritten = ::write(m_nWakeFd, &nOne, sizeof nOne);
}

CTerminationWait::EWoken CTerminationWait::Wait()
{
    pollfd fds[2] = {{m_nWakeFd, POLLIN, 0}, {m_nSignalFd, POLLIN, 0}};
    while (::poll(fds, m_nSignalFd >= 0 ? 2 : 1, -1) < 0 && errno == EINTR) {
    }
    if (fds[0].revents != 0 || fds[1].revents == 0)
        return EWoken::End;
    signalfd_siginfo signal{};
    const ssize_t nRead = ::read(m_nSignalFd, &signal, sizeof signal);
    return nRead == sizeof signal && signal.ssi_signo == SIGHUP ? EWoken::Reload : EWoken::End;
}
