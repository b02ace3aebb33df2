#include "eval/score_table.hpp"
#include "tests/core/score_table_entries.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

ScoreTable Parse(const std::string& text, std::vector<std::string>* lines = nullptr)
{
    return ParseScoreText(text, [lines](const std::string& line) {
        if (lines)
            lines->push_back(line);
    });
}

} // namespace

TEST(ScoreTableParse, NameRunsToLastColonBeforeDigits)
{
    const ScoreTable table = Parse("A:B:12\r\nName:123abc\r\nName2:\r\nName3\r\n:7\r\n");
    const ScoreMap expected = {{"A:B", 12}, {"Name", 123}, {"", 7}};
    EXPECT_EQ(TableEntries(table), expected);
}

TEST(ScoreTableParse, LaterDuplicateWinsAndBlanksAreKept)
{
    const ScoreTable table =
        Parse("Dup:1\r\nIntel(R) Core(TM)2 CPU         T6500  @ 2.10GHz:900\r\nTrail :5\r\nDup:2");
    const ScoreMap expected = {
        {"Dup", 2}, {"Intel(R) Core(TM)2 CPU         T6500  @ 2.10GHz", 900}, {"Trail ", 5}};
    EXPECT_EQ(TableEntries(table), expected);
}

TEST(ScoreTableParse, LookupIsByteExact)
{
    const ScoreTable table = Parse("Intel Core i7 995X @ 3.60GHz:10862\r\n");
    EXPECT_EQ(LookupScore(table, "Intel Core i7 995X @ 3.60GHz"), 10862);
    EXPECT_FALSE(LookupScore(table, "intel core i7 995x @ 3.60ghz"));
    EXPECT_FALSE(LookupScore(table, "Intel Core i7 995X @ 3.60GHz "));
    EXPECT_EQ(table.entries.size(), 1u);
}

TEST(ScoreTableParse, OneDebugLinePerEntry)
{
    std::vector<std::string> lines;
    Parse("B:2\r\nA:1\r\nB:3\r\n", &lines);
    const std::vector<std::string> expected = {"key:A, value:1\n", "key:B, value:3\n"};
    EXPECT_EQ(lines, expected);
}

TEST(ScoreTableParse, ScoreBeyondIntGivesNoEntryAndSaysSo)
{
    std::vector<std::string> lines;
    const ScoreTable table =
        Parse("Big:2147483648\r\nHuge:99999999999999999999999\r\nMax:2147483647\r\n", &lines);
    EXPECT_EQ(TableEntries(table), ScoreMap({{"Max", 2147483647}}));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "key:Big, score out of range:2147483648\n");
    EXPECT_NE(lines[1].find("score out of range"), std::string::npos);
}

TEST(ScoreTableParse, DebugLineIsCutToItsBuffer)
{
    const std::string longName(5000, 'x');
    std::vector<std::string> lines;
    Parse(longName + ":5\r\n", &lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 1023u);
    EXPECT_EQ(lines[0].substr(0, 4), "key:");
    EXPECT_EQ(ScoreDebugLine("N", -3), "key:N, value:-3\n");
}
