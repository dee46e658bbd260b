// SPDX-License-Identifier: GPL-3.0-or-later
// What a sharing service found in the way of a sharing it made, for the server's log: the
// system was asked and did its part, but something else on the machine undoes it. Kept for the
// process until the server takes it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class CSharingWarnings
{
public:
    static void Add(const std::string& strWarning);
    // The warnings since the last call, oldest first.
    static std::vector<std::string> Take();

private:
    static std::mutex s_Mutex;
    static std::vector<std::string> s_Warnings;
};
