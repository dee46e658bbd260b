// SPDX-License-Identifier: GPL-3.0-or-later
// What a sharing service found in the way of a sharing it made, for the server's log: the
// system was asked and did its part, but something else on the machine undoes it. Kept for the
// process until the server takes it. A service that can tell whether LAN clients reach the
// server's port installs that check here; the server, which knows its port, runs it at start,
// and the service keeps the port to check again after each sharing it makes.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CSharingWarnings
{
public:
    // Adds a warning for each firewall that stands between the LAN's clients and the port.
    using ClientPortCheck = std::function<void(int nPort)>;

    static void Add(const std::string& strWarning);
    // The warnings since the last call, oldest first.
    static std::vector<std::string> Take();

    static void SetClientPortCheck(ClientPortCheck check);
    // Runs the installed check; nothing where no service installed one.
    static void CheckClientPort(int nPort);

private:
    struct SState {
        std::mutex Mutex;
        std::vector<std::string> Warnings;
        ClientPortCheck Check;
    };
    // Made on first use, since services install their check while statics are still being made.
    static SState& State();
};
