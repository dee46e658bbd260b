// SPDX-License-Identifier: GPL-3.0-or-later
// The state file that lets a sharing outlast a reboot: what is written is read back, and what is
// missing, damaged or cannot be written keeps nothing and never fails the service.
#include "SharingStateFile.h"
#include "StateDirectory.h"
#include "TestDirectory_posix.h"
#include "TraceCapture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;

constexpr const char* kBootA = "53c81be3-71d9-41a9-80a2-7f34cfd43b44";
constexpr const char* kBootB = "0f4e2a7c-2b1d-4c8e-9a55-e0b0d1c2f3a4";

class SharingStateFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(m_Directory.empty()); }

    void WriteFile(const std::string& strText) const
    {
        std::ofstream(m_Directory / CSharingStateFile::kFileName) << strText;
    }

    const CTestDirectory m_Temporary{"tarnlow-state"};
    const fs::path& m_Directory = m_Temporary.Path();
};

TEST_F(SharingStateFileTest, ARecordReadsBackAsWrittenUntilItIsForgotten)
{
    const CSharingStateFile file(m_Directory);
    CSharingStateFile::SRecord record;
    EXPECT_FALSE(file.Read(record)) << "a missing file means nothing shared";

    ASSERT_TRUE(file.Write({"ppp0", kBootA}));
    ASSERT_TRUE(file.Read(record));
    EXPECT_EQ(record.strInterface, "ppp0");
    EXPECT_EQ(record.strBootId, kBootA);
    // Written anew, the file is replaced whole; no temporary file stays beside it.
    ASSERT_TRUE(file.Write({"wwan0", kBootB}));
    ASSERT_TRUE(file.Read(record));
    EXPECT_EQ(record.strInterface, "wwan0");
    EXPECT_EQ(record.strBootId, kBootB);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_Directory), fs::directory_iterator()), 1);
    EXPECT_EQ(fs::status(m_Directory / CSharingStateFile::kFileName).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_TRUE(file.Forget());
    EXPECT_FALSE(file.Read(record));
    EXPECT_TRUE(file.Forget()) << "forgetting what is not there is no failure";
}

TEST_F(SharingStateFileTest, ADamagedFileIsTracedAndTakenAsMissing)
{
    const CSharingStateFile file(m_Directory);
    const std::string strWhole =
        std::string("Tarnlow Server sharing 1\ninterface ppp0\nboot ") + kBootA + "\n";
    const std::vector<std::string> damaged = {
        std::string(),
        strWhole.substr(0, 30),
        "Tarnlow Server sharing 2\n",
        strWhole + "more\n",
        "Tarnlow Server sharing 1\ninterface ppp*\nboot " + std::string(kBootA),
        "Tarnlow Server sharing 1\ninterface ppp0\nboot not-a-boot-id\n",
        std::string("\x00\xff garbage", 10)};
    for (const std::string& strText : damaged) {
        WriteFile(strText);
        CSharingStateFile::SRecord record;
        CTraceCapture trace;
        EXPECT_FALSE(file.Read(record)) << strText;
        EXPECT_TRUE(record.strInterface.empty());
        EXPECT_NE(trace.Text().find("CSharingStateFile::Read(): "), std::string::npos);
    }
    WriteFile(strWhole);
    CSharingStateFile::SRecord record;
    EXPECT_TRUE(file.Read(record));
}

TEST_F(SharingStateFileTest, WithoutAWritableDirectoryNothingIsKept)
{
    CSharingStateFile::SRecord record;
    EXPECT_FALSE(CSharingStateFile().IsKept());
    EXPECT_FALSE(CSharingStateFile().Write({"ppp0", kBootA}));
    EXPECT_FALSE(CSharingStateFile().Read(record));

    // A file where the directory should be cannot be written into, not even by root.
    WriteFile("");
    const CSharingStateFile file(m_Directory / CSharingStateFile::kFileName);
    CTraceCapture trace;
    EXPECT_FALSE(file.Write({"ppp0", kBootA}));
    EXPECT_NE(trace.Text().find("CSharingStateFile::Write(): creating "), std::string::npos);
    EXPECT_FALSE(file.Read(record));
}

TEST_F(SharingStateFileTest, TheBootAndTheDirectoryComeFromTheKernelAndTheServiceManager)
{
    EXPECT_EQ(CSharingStateFile::ReadBootId().size(), 36u);
    WriteFile("not a boot\n");
    EXPECT_EQ(CSharingStateFile::ReadBootId(m_Directory / CSharingStateFile::kFileName), "");

    ::setenv("STATE_DIRECTORY", "/var/lib/tarnlow-server:/var/lib/other", 1);
    EXPECT_EQ(StateDirectory::Service(), "/var/lib/tarnlow-server");
    ::unsetenv("STATE_DIRECTORY");
    EXPECT_EQ(StateDirectory::Service(), "");
}

} // namespace
