// SPDX-License-Identifier: GPL-3.0-or-later
// CSharingStateFile: what the service was last asked to share, and in which boot, kept in a small
// file of the service manager's state directory, so that a sharing outlasts a reboot (a power cut
// on a gateway). Written atomically and durably; a missing file means nothing shared, and a
// damaged one is traced and taken as missing. Without a directory nothing is kept.
#pragma once

#include <string>

class CSharingStateFile
{
public:
    struct SRecord {
        std::string strInterface;
        std::string strBootId;
    };

    static constexpr const char* kFileName = "sharing";
    static constexpr const char* kBootIdPath = "/proc/sys/kernel/random/boot_id";

    explicit CSharingStateFile(std::string strDirectory = std::string());

    // The kernel's identifier of the running boot, read from the file given; empty if unreadable.
    static std::string ReadBootId(const std::string& strPath = kBootIdPath);

    bool IsKept() const { return !m_strDirectory.empty(); }
    // False when nothing is kept, the file is missing, or it is damaged.
    bool Read(SRecord& record) const;
    // A new file, flushed to the disk, then renamed over the old one, and the directory flushed;
    // false, and nothing written, for a record that would read back as damaged.
    bool Write(const SRecord& record) const;
    // Removes the file, durably; true when it is gone, or was never there.
    bool Forget() const;

private:
    std::string Path() const;

    std::string m_strDirectory;
};
