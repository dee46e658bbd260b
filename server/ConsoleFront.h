// SPDX-License-Identifier: GPL-3.0-or-later
// CConsoleFront: the front of the gateway's server, which has no screen: the notice that a window
// would show in a box is a line on standard error. Its log and its address are the host's lines
// on standard output.
#pragma once

#include "server/ServerFront.h"

class CConsoleFront : public IServerFront
{
public:
    void ShowConnections(const std::vector<SConnectionRow>&) override {}
    void ShowNoDialupNotice() override;
    void ShowAddress(const std::string&) override {}
};
