// SPDX-License-Identifier: GPL-3.0-or-later
// Which network adapter carries a local IPv4 address, by the GUID in braces that the sharing
// service's connection properties give; empty where none does.
#pragma once

#include <string>

std::string AdapterGuidOf(const std::string& strAddress);
