// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingWarnings.h"

CSharingWarnings::SState& CSharingWarnings::State()
{
    static SState state;
    return state;
}

void CSharingWarnings::Add(const std::string& strWarning)
{
    std::lock_guard lock(State().Mutex);
    State().Warnings.push_back(strWarning);
}

std::vector<std::string> CSharingWarnings::Take()
{
    std::lock_guard lock(State().Mutex);
    std::vector<std::string> warnings;
    warnings.swap(State().Warnings);
    return warnings;
}

void CSharingWarnings::SetClientPortCheck(ClientPortCheck check)
{
    std::lock_guard lock(State().Mutex);
    State().Check = std::move(check);
}

void CSharingWarnings::CheckClientPort(int nPort)
{
    ClientPortCheck check;
    {
        std::lock_guard lock(State().Mutex);
        check = State().Check;
    }
    // The check runs without the lock, since what it finds is added with it.
    if (check)
        check(nPort);
}
