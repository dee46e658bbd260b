// SPDX-License-Identifier: GPL-3.0-or-later
// Where the server keeps what it must remember between runs, and how a file there is written: the
// service's StateDirectory, which systemd names in $STATE_DIRECTORY; elsewhere on Linux the user's
// data directory; on Windows a folder of the machine's that administrators alone may read. A file
// is written whole beside the old one, flushed to the disk and put in its place, so that a crash
// or a power cut leaves the old text or the new.
#pragma once

#include <string>

namespace StateDirectory
{

// The service's own (the first that systemd names); empty where no service manager names one.
std::string Service();
// The service's, or else the user's; empty where no such place can be named.
std::string Default();
// Makes the directory where it is missing, and keeps it its owner's alone; false with the reason.
bool MakePrivate(const std::string& strDirectory, std::string& strError);
// Puts the text in the file's place, durably, readable by its owner alone; false with what
// failed ("creating F failed: R"), and the file as it was.
bool WriteWhole(const std::string& strPath, const std::string& strText, std::string& strError);
// Removes the file, durably; true when it is gone, or was never there.
bool Remove(const std::string& strPath, std::string& strError);

} // namespace StateDirectory
