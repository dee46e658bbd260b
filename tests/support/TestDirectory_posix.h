// SPDX-License-Identifier: GPL-3.0-or-later
// A directory of the test's own under /tmp, made at once and removed with all it holds when the
// test ends; its path is empty where it could not be made.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class CTestDirectory
{
public:
    explicit CTestDirectory(const std::string& strPrefix)
    {
        std::string strTemplate = "/tmp/" + strPrefix + "-XXXXXX";
        if (::mkdtemp(strTemplate.data()) != nullptr)
            m_Path = strTemplate;
    }
    ~CTestDirectory()
    {
        if (!m_Path.empty())
            std::filesystem::remove_all(m_Path);
    }
    CTestDirectory(const CTestDirectory&) = delete;
    CTestDirectory& operator=(const CTestDirectory&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};
