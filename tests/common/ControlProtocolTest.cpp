// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlProtocol.h"

#include <climits>
#include <gtest/gtest.h>

using namespace ControlProtocol;

namespace
{

ECommand Recognise(const std::string& strRequest)
{
    return RecogniseCommand(CommandPart(strRequest));
}

std::vector<SConnectionEntry> Read(const std::string& strReply, bool* pValid = nullptr)
{
    std::vector<SConnectionEntry> entries{{"stale", "", "", true}};
    const bool bValid = ReadConnectionListReply(strReply, entries);
    if (pValid != nullptr)
        *pValid = bValid;
    return entries;
}

} // namespace

TEST(ControlProtocolTest, recognisesEachRequestInTheOrderOfTheTests)
{
    EXPECT_EQ(Recognise("PC7:Hello"), ECommand::Greeting);
    EXPECT_EQ(Recognise("Hello"), ECommand::Greeting);
    EXPECT_EQ(Recognise("PC7:ConnectionList"), ECommand::ConnectionList);
    EXPECT_EQ(Recognise("PC7:Share:2"), ECommand::Share);
    EXPECT_EQ(Recognise("PC7:Share"), ECommand::Share);
    EXPECT_EQ(Recognise("PC7:Unshare:1"), ECommand::Unshare);
    EXPECT_EQ(Recognise("PC7:Connect:5"), ECommand::Connect);
    EXPECT_EQ(Recognise("PC7:ConnectionList2"), ECommand::Connect);
    EXPECT_EQ(Recognise("PC7:Disconnect"), ECommand::Disconnect);
    EXPECT_EQ(Recognise("PC7:Goodbye"), ECommand::Farewell);
}

TEST(ControlProtocolTest, earlierTestsWinOverLaterOnes)
{
    EXPECT_EQ(Recognise("PC7:ShareConnect"), ECommand::Share);
    EXPECT_EQ(Recognise("PC7:Connect:Share"), ECommand::Share);
    // "Disconnect" holds "Connect" only in lower case, so it is not taken for connect.
    EXPECT_EQ(Recognise("PC7:Disconnect:2"), ECommand::Disconnect);
    EXPECT_EQ(Recognise("PC7:Goodbye:Connect"), ECommand::Connect);
}

TEST(ControlProtocolTest, wordsAreCaseSensitiveAndExact)
{
    EXPECT_EQ(Recognise("PC7:hello"), ECommand::Unknown);
    EXPECT_EQ(Recognise("PC7:"), ECommand::Unknown);
    EXPECT_EQ(Recognise(""), ECommand::Unknown);
    EXPECT_EQ(Recognise("PC7:Hello "), ECommand::Unknown);
    EXPECT_EQ(Recognise("PC7:share:1"), ECommand::Unknown);
    EXPECT_EQ(Recognise("PC7:Goodbye!"), ECommand::Unknown);
    EXPECT_EQ(Recognise("PC7:PC8:Hello"), ECommand::Unknown);
}

TEST(ControlProtocolTest, commandPartIsTextAfterFirstColonOrWholeRequest)
{
    EXPECT_EQ(CommandPart("PC7:Share:2:3"), "Share:2:3");
    EXPECT_EQ(CommandPart("Hello"), "Hello");
    EXPECT_EQ(CommandPart(":Hello"), "Hello");
    EXPECT_EQ(CommandPart("PC7:"), "");
}

TEST(ControlProtocolTest, indexIsTheNumberAfterTheCommandsFirstColon)
{
    EXPECT_EQ(ReadIndex("Share:2"), 2);
    EXPECT_EQ(ReadIndex("Share:2:3"), 2);
    EXPECT_EQ(ReadIndex("Share"), 0);
    EXPECT_EQ(ReadIndex("Unshare"), 0);
    EXPECT_EQ(ReadIndex("Share:"), 0);
    EXPECT_EQ(ReadIndex("Share:x7"), 0);
    EXPECT_EQ(ReadIndex("Share: \t-3abc"), -3);
    EXPECT_EQ(ReadIndex("Share:+12"), 12);
    EXPECT_EQ(ReadIndex("XShareY:9"), 9);
}

TEST(ControlProtocolTest, numbersReadAsAtoiAndSaturateBeyondIntRange)
{
    EXPECT_EQ(ReadNumber("2147483647"), INT_MAX);
    EXPECT_EQ(ReadNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(ReadNumber("2147483648"), INT_MAX);
    EXPECT_EQ(ReadNumber("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadNumber("-99999999999999999999999999"), INT_MIN);
    EXPECT_EQ(ReadNumber("  007"), 7);
    EXPECT_EQ(ReadNumber("- 5"), 0);
    EXPECT_EQ(ReadNumber("--5"), 0);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("\v\f\r\n12"), 12);
}

TEST(ControlProtocolTest, receivedTextEndsAtFirstNulOrAtTheBytesReceived)
{
    const char cWithNul[] = {'P', 'C', '7', ':', 'H', 'i', '\0', 'X'};
    EXPECT_EQ(TextOfReceived(cWithNul, sizeof cWithNul), "PC7:Hi");
    const char cNoNul[] = {'H', 'e', 'l', 'l', 'o', 'Z', 'Z'};
    EXPECT_EQ(TextOfReceived(cNoNul, 5), "Hello");
    EXPECT_EQ(TextOfReceived(cNoNul, 0), "");
    EXPECT_EQ(TextOfReceived(cNoNul, -1), "");
    const std::string strLong(2048, 'a');
    EXPECT_EQ(TextOfReceived(strLong.data(), 2048).size(), 2048u);
}

TEST(ControlProtocolTest, buildsRequestsAndReplies)
{
    EXPECT_EQ(BuildRequest("PC7", kHello), "PC7:Hello");
    EXPECT_EQ(BuildRequest("PC7", ShareCommand(2)), "PC7:Share:2");
    EXPECT_EQ(BuildRequest("PC7", UnshareCommand(0)), "PC7:Unshare:0");
    EXPECT_EQ(BuildRequest("", kConnectionList), ":ConnectionList");
    EXPECT_EQ(BuildReply("SERVER1", kHello), "SERVER1:Hello");
    EXPECT_EQ(BuildReply("SERVER1", kOkay), "SERVER1:Okay");
    EXPECT_EQ(BuildReply("SERVER1", kFailed), "SERVER1:Failed");
    EXPECT_EQ(BuildReply("SERVER1", kUnknown), "SERVER1:Unknown");
}

TEST(ControlProtocolTest, connectionListReplyMatchesTheExampleByteForByte)
{
    const std::string strEntries =
        BuildConnectionEntry("Local Area Connection", "Connected", "Lan", false) +
        BuildConnectionEntry("My ISP", "Disconnected", "Dialup", false);
    EXPECT_EQ(BuildConnectionListReply("SERVER1", 2, strEntries),
              "SERVER1:2:(Local Area Connection:Connected:Lan:False:)"
              "(My ISP:Disconnected:Dialup:False:)");
    EXPECT_EQ(BuildConnectionEntry("A", "Connected", "Lan", true), "(A:Connected:Lan:True:)");
}

TEST(ControlProtocolTest, emptyConnectionListEndsInAColon)
{
    EXPECT_EQ(BuildConnectionListReply("SERVER1", 0, ""), "SERVER1:0:");
    bool bValid = true;
    EXPECT_TRUE(Read("SERVER1:0:", &bValid).empty());
    EXPECT_FALSE(bValid);
}

TEST(ControlProtocolTest, nameWithColonOrParenthesisIsSentUnchanged)
{
    EXPECT_EQ(BuildConnectionEntry("a:b(c)", "Connected", "Lan", false),
              "(a:b(c):Connected:Lan:False:)");
}

TEST(ControlProtocolTest, readsAGoodReply)
{
    bool bValid = false;
    const auto entries =
        Read("SRV:2:(A:Connected:Lan:True:)(B:Disconnected:Dialup:False:)", &bValid);
    ASSERT_TRUE(bValid);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].strName, "A");
    EXPECT_EQ(entries[0].strStatus, "Connected");
    EXPECT_EQ(entries[0].strType, "Lan");
    EXPECT_TRUE(entries[0].bShared);
    EXPECT_EQ(entries[1].strName, "B");
    EXPECT_EQ(entries[1].strStatus, "Disconnected");
    EXPECT_EQ(entries[1].strType, "Dialup");
    EXPECT_FALSE(entries[1].bShared);
}

TEST(ControlProtocolTest, sharedIsTrueOnlyForExactlyTrue)
{
    const auto entries = Read("S:3:(A:C:L:TRUE:)(B:C:L:true:)(C:C:L: True:)");
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& entry : entries)
        EXPECT_FALSE(entry.bShared) << entry.strName;
}

TEST(ControlProtocolTest, countsOutsideOneToTenGiveNoEntries)
{
    const std::string strEntry = "(A:Connected:Lan:False:)";
    for (const std::string strCount : {"0", "11", "-1", "x", "", "99999999999999999999"}) {
        bool bValid = true;
        EXPECT_TRUE(Read("S:" + strCount + ":" + strEntry, &bValid).empty()) << strCount;
        EXPECT_FALSE(bValid) << strCount;
    }
    std::string strTen;
    for (int i = 0; i < 10; ++i)
        strTen += strEntry;
    EXPECT_EQ(Read("S:10:" + strTen).size(), 10u);
}

TEST(ControlProtocolTest, emptyOrCountlessRepliesGiveNoEntries)
{
    for (const std::string strReply : {"", "SERVER1", "SERVER1:", "SERVER1:2", ":", "::"}) {
        bool bValid = true;
        EXPECT_TRUE(Read(strReply, &bValid).empty()) << strReply;
        EXPECT_FALSE(bValid) << strReply;
    }
}

TEST(ControlProtocolTest, shortListGivesOnlyTheEntriesItHolds)
{
    bool bValid = false;
    const auto entries = Read("S:3:(A:Connected:Lan:False:)(B:Connected:Lan:True:)", &bValid);
    EXPECT_TRUE(bValid);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].strName, "B");
}

TEST(ControlProtocolTest, cutEntryIsNotARow)
{
    const std::string strFull = "S:2:(A:Connected:Lan:False:)(My ISP:Disconnected:Dialup:False:)";
    // Every cut inside the second entry, up to its last colon, leaves one row.
    const std::size_t nSecond = strFull.find("(My");
    for (std::size_t nCut = nSecond; nCut < strFull.size() - 1; ++nCut) {
        const auto entries = Read(strFull.substr(0, nCut));
        ASSERT_EQ(entries.size(), 1u) << strFull.substr(0, nCut);
        EXPECT_EQ(entries[0].strName, "A");
    }
    EXPECT_EQ(Read(strFull.substr(0, strFull.size() - 1)).size(), 2u);
}

TEST(ControlProtocolTest, longerListThanCountGivesCountEntries)
{
    const auto entries = Read("S:1:(A:Connected:Lan:False:)(B:Connected:Lan:False:)");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].strName, "A");
}

TEST(ControlProtocolTest, readsReplyLongerThanOneReceive)
{
    std::string strEntries;
    for (int i = 0; i < 10; ++i)
        strEntries += BuildConnectionEntry(std::string(150, static_cast<char>('a' + i)),
                                           "Connected", "Lan", i % 2 == 0);
    const std::string strReply = BuildConnectionListReply("SERVER1", 10, strEntries);
    ASSERT_GT(strReply.size(), static_cast<std::size_t>(kReceiveBytes));
    const auto entries = Read(strReply);
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries[9].strName, std::string(150, 'j'));
    EXPECT_TRUE(entries[8].bShared);
}

TEST(ControlProtocolTest, malformedEntriesShiftOnlyTheirOwnFields)
{
    // A name holding a colon shifts its own fields; the next entry reads correctly again.
    const auto entries = Read("S:2:(a:b:Connected:Lan:False:)(B:Disconnected:Dialup:True:)");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].strName, "a");
    EXPECT_EQ(entries[0].strStatus, "b");
    EXPECT_EQ(entries[0].strType, "Connected");
    EXPECT_FALSE(entries[0].bShared);
    EXPECT_EQ(entries[1].strName, "B");
    EXPECT_TRUE(entries[1].bShared);
    // A name holding parentheses reads correctly.
    const auto parenthesised = Read("S:1:((x) y:Connected:Lan:False:)");
    ASSERT_EQ(parenthesised.size(), 1u);
    EXPECT_EQ(parenthesised[0].strName, "(x) y");
    // No entry opening at all gives no rows.
    EXPECT_TRUE(Read("S:2:garbage without entries").empty());
}

// The status and type words, the system's misspellings included; a code beyond its table, or one
// that could not be read, is "Unknown".
TEST(ControlProtocolTest, codesBecomeTheWordsOfTheirTables)
{
    EXPECT_EQ(MediaTypeText(0), "None");
    EXPECT_EQ(MediaTypeText(6), "Point to Point");
    EXPECT_EQ(MediaTypeText(9), "Shared Dialup");
    EXPECT_EQ(MediaTypeText(10), "Unknown");
    EXPECT_EQ(MediaTypeText(-1), "Unknown");
    EXPECT_EQ(StatusText(8), "Authenicating");
    EXPECT_EQ(StatusText(10), "Authenication failed");
    EXPECT_EQ(StatusText(9), "Authentication succeeded");
    EXPECT_EQ(StatusText(11), "Unknown");
    EXPECT_EQ(StatusText(12), "Unknown");
    EXPECT_EQ(StatusText(-1), "Unknown");
}
