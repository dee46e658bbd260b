// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel's device type of a network interface (its uevent's DEVTYPE: "wwan", "wlan",
// "bridge", ...), empty when it has none or cannot be read.
#pragma once

#include <string>

std::string NetDeviceType(const std::string& strInterface);
