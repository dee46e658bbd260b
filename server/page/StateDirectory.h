// SPDX-License-Identifier: GPL-3.0-or-later
// Where the server keeps what it must remember between runs: the service's StateDirectory, which
// systemd names in $STATE_DIRECTORY; elsewhere on Linux the user's data directory; on Windows a
// folder of the machine's that administrators alone may read.
#pragma once

#include <string>

namespace StateDirectory
{

// Empty where no such place can be named.
std::string Default();
// Makes the directory where it is missing, and keeps it its owner's alone; false with the reason.
bool MakePrivate(const std::string& strDirectory, std::string& strError);

} // namespace StateDirectory
