// SPDX-License-Identifier: GPL-3.0-or-later
// Pairing on its own, on a clock that the test moves: the bounds against guessing and flooding,
// and the paired devices as the state keeps them across a restart, or sets a damaged state aside.
#include "server/page/Pairing.h"
#include "server/page/Secrets.h"

#include "TestClock.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

namespace
{

namespace fs = std::filesystem;

class CEntries : public ILogSink
{
public:
    void AddEntry(std::string strText, EPriority priority) override
    {
        m_Entries.emplace_back(std::move(strText), priority);
    }
    // The code of the last entry that gave one.
    std::string LastCode() const
    {
        static const std::regex kCode("Pairing code ([0-9]{3}) ([0-9]{3}) for .*");
        std::smatch match;
        for (auto entry = m_Entries.rbegin(); entry != m_Entries.rend(); ++entry)
            if (std::regex_match(entry->first, match, kCode))
                return match[1].str() + match[2].str();
        return std::string();
    }
    std::size_t Count(const std::string& strText) const
    {
        return std::count_if(m_Entries.begin(), m_Entries.end(),
                             [&](const auto& entry) { return entry.first == strText; });
    }

    std::vector<std::pair<std::string, EPriority>> m_Entries;

protected:
    void HoldEntries() override {}
    void ReleaseEntries() override {}
};

// A code that is not the one given.
std::string WrongCode(const std::string& strCode)
{
    return strCode == "000000" ? "111111" : "000000";
}

class PairingTest : public ::testing::Test
{
protected:
    CPairing::SAnswer Ask(CPairing& pairing, const std::string& strAddress)
    {
        return pairing.Ask("Phone at " + strAddress, strAddress, std::string());
    }

    CEntries m_Log;
    CTestClock m_Clock;
};

TEST_F(PairingTest, guessingAndFloodingAreBounded)
{
    CPairing pairing(m_Log, m_Clock, std::string());
    const CPairing::SAnswer first = Ask(pairing, "10.0.0.1");
    ASSERT_TRUE(first.bDone);
    EXPECT_EQ(m_Log.m_Entries.back().second, ILogSink::EPriority::Warning);
    EXPECT_TRUE(std::regex_match(m_Log.m_Entries.back().first,
                                 std::regex("Pairing code [0-9]{3} [0-9]{3} for \"Phone at "
                                            "10.0.0.1\" at 10.0.0.1, valid for 5 minutes")));
    const std::string strFirstCode = m_Log.LastCode();
    // One request an address a minute; three waiting at once.
    EXPECT_EQ(Ask(pairing, "10.0.0.1").strReason,
              "A code was asked for from this address less than a minute ago: try again in a "
              "minute");
    const CPairing::SAnswer second = Ask(pairing, "10.0.0.2");
    const std::string strSecondCode = m_Log.LastCode();
    const CPairing::SAnswer third = Ask(pairing, "10.0.0.3");
    EXPECT_EQ(Ask(pairing, "10.0.0.4").strReason,
              "Three devices are waiting for their codes: try again in a few minutes");

    // The third wrong code ends a request: its right code is then no use.
    for (const char* pszReason : {"That is not the code", "That is not the code",
                                  "That was the third wrong code: ask for a new one"})
        EXPECT_EQ(pairing.Confirm(first.strCookie, WrongCode(strFirstCode), "10.0.0.1").strReason,
                  pszReason);
    EXPECT_FALSE(pairing.Confirm(first.strCookie, strFirstCode, "10.0.0.1").bDone);
    // A right code after a wrong one pairs, typed with its space or without.
    EXPECT_FALSE(pairing.Confirm(second.strCookie, WrongCode(strSecondCode), "10.0.0.2").bDone);
    EXPECT_TRUE(pairing
                    .Confirm(second.strCookie,
                             strSecondCode.substr(0, 3) + " " + strSecondCode.substr(3), "10.0.0.2")
                    .bDone);

    // The tenth wrong code within the hour, machine-wide, pauses pairing for an hour, said once.
    const std::string strPaused =
        "Pairing is paused for an hour: 10 wrong codes were typed within an hour";
    for (int i = 0; i < 3; ++i)
        pairing.Confirm(third.strCookie, "1", "10.0.0.3");
    m_Clock.Advance(CPairing::kAskEvery);
    for (const char* pszAddress : {"10.0.0.4", "10.0.0.5"}) {
        const CPairing::SAnswer asked = Ask(pairing, pszAddress);
        for (int i = 0; i < 3 && m_Log.Count(strPaused) == 0; ++i)
            pairing.Confirm(asked.strCookie, "1", pszAddress);
    }
    EXPECT_EQ(m_Log.Count(strPaused), 1u);
    m_Clock.Advance(CPairing::kAskEvery);
    EXPECT_EQ(Ask(pairing, "10.0.0.6").strReason,
              "Pairing is paused after too many wrong codes: try again in 59 minutes");
    m_Clock.Advance(CPairing::kPause);
    const CPairing::SAnswer later = Ask(pairing, "10.0.0.6");
    EXPECT_TRUE(later.bDone);
    EXPECT_EQ(m_Log.Count(strPaused), 1u);

    // A code lives five minutes.
    m_Clock.Advance(CPairing::kCodeLife);
    EXPECT_EQ(pairing.Confirm(later.strCookie, m_Log.LastCode(), "10.0.0.6").strReason,
              "No code is waiting for this browser, or it has expired: ask for a new one");
    EXPECT_EQ(pairing.Devices().size(), 1u);
}

// The state holds hashes, never tokens, in a file of its owner's alone; another run of the server
// knows the devices; a damaged state is said, set aside, and nothing of it is paired.
TEST_F(PairingTest, pairedDevicesOutliveARestartAndADamagedStateIsSetAside)
{
    const fs::path directory =
        fs::temp_directory_path() / ("tarnlow-pairing-" + Secrets::RandomHex(6)) / "state";
    const fs::path file = directory / CDeviceFile::kFileName;
    std::string strToken;
    {
        CPairing pairing(m_Log, m_Clock, directory.string());
        pairing.Load();
        const CPairing::SAnswer asked = Ask(pairing, "10.0.0.1");
        strToken = pairing.Confirm(asked.strCookie, m_Log.LastCode(), "10.0.0.1").strCookie;
    }
    ASSERT_EQ(strToken.size(), 64u);
    std::string strText;
    {
        std::ifstream written(file);
        strText.assign(std::istreambuf_iterator<char>(written), {});
    }
    EXPECT_EQ(strText.find(strToken), std::string::npos);
    EXPECT_NE(strText.find(Secrets::Sha256Hex(strToken)), std::string::npos);
#ifndef _WIN32
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(directory).permissions(), fs::perms::owner_all);
#endif
    {
        CPairing again(m_Log, m_Clock, directory.string());
        again.Load();
        const std::optional<SPairedDevice> device = again.Recognise(strToken);
        ASSERT_TRUE(device.has_value());
        EXPECT_EQ(device->strName, "Phone at 10.0.0.1");
        EXPECT_FALSE(again.Recognise(std::string(64, '0')).has_value());
        EXPECT_TRUE(again.Forget(device->strId, *device, "10.0.0.1"));
    }
    {
        CPairing forgotten(m_Log, m_Clock, directory.string());
        forgotten.Load();
        EXPECT_FALSE(forgotten.Recognise(strToken).has_value());
    }

    std::ofstream(file) << R"({"devices":[{"id":"0123456789abcdef","hash":"x"}]})";
    const std::size_t nBefore = m_Log.m_Entries.size();
    CPairing damaged(m_Log, m_Clock, directory.string());
    damaged.Load();
    ASSERT_EQ(m_Log.m_Entries.size(), nBefore + 1);
    EXPECT_EQ(m_Log.m_Entries.back(),
              std::make_pair("The paired devices in " + file.string() +
                                 " cannot be read (it is not a list of paired devices): no "
                                 "device is paired; the file is kept as " +
                                 file.string() + ".damaged",
                             ILogSink::EPriority::Warning));
    EXPECT_TRUE(damaged.Devices().empty());
    EXPECT_TRUE(fs::exists(file.string() + ".damaged"));
    m_Clock.Advance(CPairing::kAskEvery);
    const CPairing::SAnswer asked = Ask(damaged, "10.0.0.1");
    EXPECT_TRUE(damaged.Confirm(asked.strCookie, m_Log.LastCode(), "10.0.0.1").bDone);
    EXPECT_TRUE(fs::exists(file));
    fs::remove_all(directory.parent_path());
}

} // namespace
