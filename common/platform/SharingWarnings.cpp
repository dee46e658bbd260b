// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingWarnings.h"

std::mutex CSharingWarnings::s_Mutex;
std::vector<std::string> CSharingWarnings::s_Warnings;

void CSharingWarnings::Add(const std::string& strWarning)
{
    std::lock_guard lock(s_Mutex);
    s_Warnings.push_back(strWarning);
}

std::vector<std::string> CSharingWarnings::Take()
{
    std::lock_guard lock(s_Mutex);
    std::vector<std::string> warnings;
    warnings.swap(s_Warnings);
    return warnings;
}
