// SPDX-License-Identifier: GPL-3.0-or-later
// The log entries that a program wrote to its standard output, as the end-to-end tests read them.
#pragma once

#include <string>
#include <vector>

// The message of a log line: what follows "DD-MM-YYYY HH:MM:SS ".
inline std::vector<std::string> Messages(const std::vector<std::string>& lines,
                                         std::size_t nFrom = 0)
{
    std::vector<std::string> messages;
    for (std::size_t i = nFrom; i < lines.size(); ++i) {
        const std::string& strLine = lines[i];
        if (strLine.size() >= 20 && strLine[2] == '-' && strLine[5] == '-' && strLine[10] == ' ')
            messages.push_back(strLine.substr(20));
    }
    return messages;
}
