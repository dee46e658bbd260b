// SPDX-License-Identifier: GPL-3.0-or-later
// A settings file of the test's own, which the server that the test starts reads in place of the
// machine's, and which goes with the test.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

class CSettingsFile
{
public:
    CSettingsFile(std::string strPath, const std::string& strText) : m_strPath(std::move(strPath))
    {
        Write(strText);
        ::setenv("TARNLOW_SETTINGS", m_strPath.c_str(), 1);
    }
    ~CSettingsFile()
    {
        ::unsetenv("TARNLOW_SETTINGS");
        std::remove(m_strPath.c_str());
    }
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;

    void Write(const std::string& strText) const { std::ofstream(m_strPath) << strText; }
    const std::string& Path() const { return m_strPath; }

private:
    const std::string m_strPath;
};
