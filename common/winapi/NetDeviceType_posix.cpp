// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetDeviceType_posix.h"

#include <fstream>

std::string NetDeviceType(const std::string& strInterface)
{
    // A name that could leave the folder is no interface's.
    if (strInterface.empty() || strInterface.find('/') != std::string::npos ||
        strInterface == "." || strInterface == "..")
        return std::string();
    std::ifstream uevent("/sys/class/net/" + strInterface + "/uevent");
    constexpr std::string_view kKey = "DEVTYPE=";
    for (std::string strLine; std::getline(uevent, strLine);) {
        if (strLine.starts_with(kKey))
            return strLine.substr(kKey.size());
    }
    return std::string();
}
