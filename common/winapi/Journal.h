// SPDX-License-Identifier: GPL-3.0-or-later
// Where standard output or error is a stream of systemd's journal (JOURNAL_STREAM names it), each
// line may begin with its syslog priority, "<6>" say, so that the journal can tell log entries
// from traces. Elsewhere, and on Windows, lines stay as they are.
#pragma once

#include <string>

namespace Journal
{

enum class EPriority { Warning = 4, Info = 6, Debug = 7 };

// The prefix for a line of this priority written to the descriptor (1 or 2); empty when the
// descriptor is not the journal's stream.
const char* LinePrefix(EPriority priority, int nFd);
// What a program without a screen does with a message box: "caption: text" on standard error, a
// warning, since a user should have seen it.
void WriteNotice(const std::string& strCaption, const std::string& strText);

} // namespace Journal
