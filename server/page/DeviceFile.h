// SPDX-License-Identifier: GPL-3.0-or-later
// CDeviceFile: the paired devices as the server keeps them across restarts and upgrades, one JSON
// file in a directory that only the server's owner may read (mode 0600 within 0700; on Windows,
// administrators only). It holds each token's hash, never a token. It is written as StateDirectory
// writes a file: whole, on the disk, then in the old one's place.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct SPairedDevice {
    // Names the device to the page (not secret); its token's SHA-256 in hexadecimal.
    std::string strId;
    std::string strHash;
    std::string strName;
    std::chrono::system_clock::time_point Paired;
    std::chrono::system_clock::time_point LastSeen;
};

class CDeviceFile
{
public:
    // Larger files are damaged: no server keeps so many devices.
    static constexpr std::size_t kMaxFileBytes = 256 * 1024;
    static constexpr const char* kFileName = "devices.json";

    // No directory: nothing is read or kept.
    explicit CDeviceFile(std::string strDirectory);

    enum class ERead { None, Read, Unreadable, Damaged };
    // Unreadable or Damaged: strError says why; a damaged file is kept aside (Aside()) for whoever
    // looks, and an unreadable one stays where it is.
    ERead Read(std::vector<SPairedDevice>& devices, std::string& strError) const;
    bool Write(const std::vector<SPairedDevice>& devices, std::string& strError) const;
    const std::string& Path() const { return m_strPath; }
    std::string Aside() const { return m_strPath + ".damaged"; }

private:
    static bool Parse(const std::string& strText, std::vector<SPairedDevice>& devices);

    std::string m_strDirectory;
    std::string m_strPath;
};
