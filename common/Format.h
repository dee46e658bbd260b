// SPDX-License-Identifier: GPL-3.0-or-later
// printf-style formatting into a string, as the traces and messages of both programs use it, and
// the text of a setting without the spaces around it.
#pragma once

#include <string>

std::string FormatText(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
// The text without the leading and trailing characters of pszSpaces.
std::string Trimmed(const std::string& strText, const char* pszSpaces);
