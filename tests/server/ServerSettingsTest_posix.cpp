// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as the server reads it: none, one it cannot read, one too long.
#include "ServerSettings.h"
#include "TestDirectory_posix.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace
{

class ServerSettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(m_Directory.empty()); }

    void TearDown() override { ::unsetenv("TARNLOW_SETTINGS"); }

    CServerSettings ReadFrom(const std::filesystem::path& path)
    {
        ::setenv("TARNLOW_SETTINGS", path.c_str(), 1);
        return CServerSettings::Read();
    }

    const CTestDirectory m_Temporary{"tarnlow-settings"};
    const std::filesystem::path& m_Directory = m_Temporary.Path();
};

TEST_F(ServerSettingsFileTest, NoFileIsTheDefaultsAndAFileThatCannotBeReadIsSaid)
{
    const CServerSettings none = ReadFrom(m_Directory / "tarnlow.conf");
    EXPECT_EQ(none.Port(), 10000);
    EXPECT_TRUE(none.Warnings().empty());
    const CServerSettings directory = ReadFrom(m_Directory);
    EXPECT_EQ(directory.Port(), 10000);
    EXPECT_EQ(directory.Warnings(),
              std::vector<std::string>{"The settings file " + m_Directory.string() +
                                       " cannot be read (Is a directory): the defaults hold"});
    std::ofstream(m_Directory / "tarnlow.conf") << "port = 10500\n";
    EXPECT_EQ(ReadFrom(m_Directory / "tarnlow.conf").Port(), 10500);
}

TEST_F(ServerSettingsFileTest, OnlyTheFirst64KiBOfALongerFileAreRead)
{
    const std::filesystem::path path = m_Directory / "tarnlow.conf";
    {
        std::ofstream file(path);
        file << "port = 10500\n";
        file << std::string(CServerSettings::kMaxFileBytes, '#') << "\nport = 10600\n";
    }
    const CServerSettings settings = ReadFrom(path);
    EXPECT_EQ(settings.Port(), 10500);
    EXPECT_EQ(settings.Warnings(),
              std::vector<std::string>{"The settings file " + path.string() +
                                       " is longer than 64 KiB: only its first 64 KiB are read"});
}

} // namespace
