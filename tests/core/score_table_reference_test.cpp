// The hand-matching table parser against its first form, the table pattern searched over the
// text: the same entries, found by look-up, and the same debug lines, over the shipped tables,
// every byte value in every position of a line, and generated texts with every kind of line.
#include "eval/score_table.hpp"
#include "tests/core/score_table_reference.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace {

std::string Resource(const char* name)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void ExpectSameAsReference(const std::string& text)
{
    std::vector<std::string> expectedLines;
    const ScoreMap expected = ReferenceParseScoreText(text, &expectedLines);
    std::vector<std::string> lines;
    const ScoreTable table =
        ParseScoreText(text, [&lines](const char* line) { lines.push_back(line); });
    ASSERT_EQ(TableEntries(table), expected) << testing::PrintToString(text);
    ASSERT_EQ(lines, expectedLines) << testing::PrintToString(text);
    // Looked up, every entry gives its own score, and its name cut short or run on gives none.
    for (const auto& [name, score] : expected) {
        ASSERT_EQ(LookupScore(table, name), score) << testing::PrintToString(name);
        for (const std::string& other : {name.substr(0, name.size() - 1), name + "\x80"}) {
            if (other != name && !expected.count(other)) {
                ASSERT_FALSE(LookupScore(table, other)) << testing::PrintToString(other);
            }
        }
    }
}

// Lines of names, colons, digits and odd bytes, broken by CR, LF or both.
std::string GeneratedTable(std::mt19937& random)
{
    static const char pieces[][12] = {"Intel ", "GTX 690", ":",  ":",    "7",  "12", "2147483648",
                                      "abc",    " ",       "\0", "\xA0", "\r", "\n", "\r\n",
                                      "(R)",    "@ 3.6",   "x:", ":0",   ""};
    std::uniform_int_distribution<int> piece(0, sizeof pieces / sizeof pieces[0] - 1);
    std::uniform_int_distribution<int> length(0, 60);
    std::string text;
    for (int n = length(random); n > 0; --n) {
        const char* chosen = pieces[piece(random)];
        // "\0" is one byte, not an empty text.
        text.append(chosen, *chosen ? std::char_traits<char>::length(chosen) : 1);
    }
    return text;
}

} // namespace

TEST(ScoreTableReference, ShippedTablesGiveTheSameEntriesAndDebugLines)
{
    for (const char* name : {"gpu.txt", "cpu.txt"}) {
        const std::string text = Resource(name);
        ASSERT_GT(text.size(), 10000u) << name;
        ExpectSameAsReference(text);
    }
}

TEST(ScoreTableReference, EdgeLinesGiveTheSameEntriesAndDebugLines)
{
    for (const std::string& text :
         {std::string(), std::string("A:B:12\r\nName:123abc\r\nName2:\r\nName3\r\n:7\r\n"),
          std::string("Dup:1\rDup:2\nBig:2147483648\r\n\r\nMax:2147483647"),
          std::string("Nul\0Name:5\r\nLast:9", 18), std::string(5000, 'x') + ":5\r\n",
          std::string("Mid:12:34:x\r\n:::\r\n1:2:3"), std::string("No line end:42")})
        ExpectSameAsReference(text);
}

TEST(ScoreTableReference, GeneratedTextsGiveTheSameEntriesAndDebugLines)
{
    std::mt19937 random(2014);
    for (int i = 0; i < 5000; ++i) {
        ExpectSameAsReference(GeneratedTable(random));
        if (HasFatalFailure())
            return;
    }
}

TEST(ScoreTableReference, EveryByteInEveryPositionGivesTheSameEntriesAndDebugLines)
{
    // Each line with every byte put at every position, once over the byte there (in the first
    // line of the text) and once before it (in the last, without a line end). The last line's
    // score is at the edge of an int.
    for (const std::string base : {":7", "A:B:34", "N:5x:", "M:2147483647"}) {
        for (std::size_t at = 0; at <= base.size(); ++at) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string replaced = base;
                std::string inserted = base;
                if (at < base.size())
                    replaced[at] = static_cast<char>(byte);
                inserted.insert(at, 1, static_cast<char>(byte));
                ExpectSameAsReference(replaced + "\r\n" + inserted);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}
