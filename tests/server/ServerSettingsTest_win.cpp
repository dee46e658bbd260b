// SPDX-License-Identifier: GPL-3.0-or-later
// The settings under HKLM\Software\Tarnlow: the port that the installer writes is the server's.
#include "ServerSettings.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace
{

class ServerSettingsRegistryTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Tarnlow", "ServerPort");
    }

    static bool SetPort(DWORD dwType, const void* pData, DWORD dwSize)
    {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Tarnlow", "ServerPort", dwType, pData,
                               dwSize) == ERROR_SUCCESS;
    }
};

TEST_F(ServerSettingsRegistryTest, TheInstallersPortIsTheServersAndABadOneIsSaid)
{
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Tarnlow", "ServerPort");
    EXPECT_EQ(CServerSettings::Read().Port(), 10000);
    ASSERT_TRUE(SetPort(REG_SZ, "10500", 6));
    EXPECT_EQ(CServerSettings::Read().Port(), 10500);
    const DWORD dwPort = 10600;
    ASSERT_TRUE(SetPort(REG_DWORD, &dwPort, sizeof dwPort));
    EXPECT_EQ(CServerSettings::Read().Port(), 10600);
    ASSERT_TRUE(SetPort(REG_SZ, "ten", 4));
    const CServerSettings bad = CServerSettings::Read();
    EXPECT_EQ(bad.Port(), 10000);
    EXPECT_EQ(bad.Warnings(),
              std::vector<std::string>{"The value ServerPort of HKLM\\Software\\Tarnlow "
                                       "(\"ten\") is left out: the port must be a number from 1 "
                                       "to 65535"});
}

} // namespace
