// SPDX-License-Identifier: GPL-3.0-or-later
// The settings under HKLM\Software\Tarnlow, as strings (as the installer writes its port) or
// numbers.
#include "ServerSettings.h"

#include <cstring>
#include <windows.h>

CServerSettings CServerSettings::Read()
{
    // Each setting by its value's name: the port is the one that the installer opened.
    static const struct {
        const char* pszValue;
        const char* pszKey;
    } kValues[] = {{"ServerPort", "port"},
                   {"PagePort", "page-port"},
                   {"Page", "page"},
                   {"Clients", "clients"}};
    CServerSettings settings;
    for (const auto& value : kValues) {
        const std::string strName =
            std::string("The value ") + value.pszValue + " of HKLM\\Software\\Tarnlow";
        char cData[2048] = {};
        DWORD dwType = 0;
        DWORD dwSize = sizeof cData;
        const LSTATUS status =
            RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Tarnlow", value.pszValue,
                         RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &dwType, cData, &dwSize);
        if (status == ERROR_FILE_NOT_FOUND)
            continue;
        if (status != ERROR_SUCCESS) {
            settings.Warn(strName + " cannot be read (error " +
                          std::to_string(static_cast<long>(status)) + "): the default holds");
            continue;
        }
        DWORD dwNumber = 0;
        std::memcpy(&dwNumber, cData, sizeof dwNumber);
        const std::string strValue = dwType == REG_DWORD ? std::to_string(dwNumber) : cData;
        settings.Set({strName, strValue}, value.pszKey, strValue);
    }
    settings.CheckPorts();
    return settings;
}
