// Finding a device's score: exact names first, then canonical names, over real spellings of
// drivers and brand strings, near misses, and canonical names that entries share.
#include "eval/canonical_name.hpp"
#include "eval/score_lookup.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

ScoreTable Shipped(const char* file)
{
    std::ifstream in(std::string(VXM_RESOURCES_DIR) + "/" + file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return ParseScoreText(text.str());
}

struct Spelling {
    const char* name;   // as Windows or a driver gives it
    const char* listed; // the table entry it must find, or null when it must find none
    bool exact;         // listed under this very name
};

void ExpectSpellings(const ScoreTable& table, const std::vector<Spelling>& spellings)
{
    for (const Spelling& s : spellings) {
        const std::optional<int> found = FindScore(table, s.name);
        if (!s.listed) {
            EXPECT_FALSE(found) << "[" << s.name << "] found " << *found;
            continue;
        }
        const std::optional<int> listed = LookupScore(table, s.listed);
        ASSERT_TRUE(listed) << "not in the table: " << s.listed;
        EXPECT_EQ(found, listed) << "[" << s.name << "]";
        EXPECT_EQ(LookupScore(table, s.name).has_value(), s.exact) << "[" << s.name << "]";
    }
}

} // namespace

// The spellings below cover the rest.
TEST(CanonicalDeviceName, DropsTheMarksInEveryByteFormAndKeepsOtherText)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Intel\xC2\xAE Iris\xE2\x84\xA2 Xe Graphics", "iris xe"}, // UTF-8
        {"Intel\xAE Iris\x99 Xe Graphics", "iris xe"},             // Windows-1252
        {"Intel? Iris? Xe Graphics", "iris xe"},                   // GBK, which has no such signs
        {"\tNVIDIA \t GeForce(tm) GTX 690 ", "geforce gtx 690"},
        {"NVIDIA", "nvidia"},                              // a vendor word alone stays
        {"\xC4\xDA\xB4\xE6 Graphics", "\xC4\xDA\xB4\xE6"}, // other GBK text is kept
    };
    for (const auto& [name, canonical] : cases)
        EXPECT_EQ(CanonicalDeviceName(name), canonical) << "[" << name << "]";
}

TEST(FindScore, RealSpellingsOfAdapters)
{
    ExpectSpellings(Shipped("gpu.txt"),
                    {
                        {"NVIDIA GeForce GTX 1050 Ti", "NVIDIA GeForce GTX 1050 Ti", true},
                        {"Intel(R) Iris(R) Xe Graphics", "Intel(R) Iris(R) Xe Graphics", true},
                        {"Radeon RX 580 Series", "Radeon RX 580 Series", true},
                        // case, marks, vendor word, suffix and blanks as drivers differ in them
                        {"NVIDIA GeForce RTX 2080 Super", "NVIDIA GeForce RTX 2080 SUPER", false},
                        {"NVIDIA GeForce RTX 2080 SUPER with Max-Q Design",
                         "NVIDIA GeForce RTX 2080 Super with Max-Q Design", false},
                        {"AMD Radeon RX 580 Series", "AMD Radeon RX 580", false},
                        {"AMD Radeon RX 480", "AMD Radeon (TM) RX 480", false},
                        {"Radeon RX 5700 XT", "AMD Radeon RX 5700 XT", false},
                        {"AMD Radeon(TM) R9 200 Series", "AMD Radeon R9 200 Series", false},
                        {"Intel? Iris? Xe Graphics", "Intel(R) Iris(R) Xe Graphics", false},
                        {"Intel(R)  Iris(R)  Xe  Graphics ", "Intel(R) Iris(R) Xe Graphics", false},
                        // near misses: one digit or one word apart, never a prefix
                        {"NVIDIA GeForce GTX 1051 Ti", nullptr, false},
                        {"NVIDIA GeForce GTX 1050 Ti Max-Q", nullptr, false},
                        {"AMD Radeon RX 580X", nullptr, false},
                        {"AMD Radeon RX 58", nullptr, false},
                        {"Intel(R) Iris(R) Xe2 Graphics", nullptr, false},
                        {"", nullptr, false},
                    });
}

TEST(FindScore, RealSpellingsOfProcessors)
{
    ExpectSpellings(
        Shipped("cpu.txt"),
        {
            {"AMD Ryzen 7 3700X 8-Core Processor", "AMD Ryzen 7 3700X 8-Core Processor", true},
            {"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz",
             "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", true},
            // CPUID pads some brand strings with blanks; tools collapse the inner ones
            {"AMD Ryzen 7 3700X 8-Core Processor            ", "AMD Ryzen 7 3700X 8-Core Processor",
             false},
            {"Intel(R) Core(TM)2 Duo CPU E8400 @ 3.00GHz",
             "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", false},
            {"AMD RYZEN AI MAX+ 395 w/ Radeon 8060S", "AMD Ryzen AI Max+ 395 w/ Radeon 8060S",
             false},
            {"AMD Ryzen 7 3701X 8-Core Processor", nullptr, false},
            {"AMD Ryzen 7 3700X 8-Core", nullptr, false},
            {"Intel(R) Core(TM)2 Duo CPU E8401 @ 3.00GHz", nullptr, false},
            {"Intel(R) Core(TM)2 Duo CPU E8400 @ 3.0GHz", nullptr, false},
        });
}

TEST(FindScore, ACanonicalNameOfTwoScoresFindsNothingAndOfOneScoreFindsIt)
{
    const ScoreTable table =
        ParseScoreText("AMD Radeon HD 7700 Series:1600\r\nRadeon HD 7700:1700\r\n"
                       "AMD Radeon RX 580X Series:8000\r\nNVIDIA GeForce GT 640:900\r\n"
                       "GeForce GT 640 Series:900\r\nGT 1030:2\r\ngt 1030:2\r\n");
    EXPECT_EQ(FindScore(table, "Radeon HD 7700"), 1700);  // exact names still win
    EXPECT_FALSE(FindScore(table, "AMD Radeon HD 7700")); // 1600 or 1700: no guess
    EXPECT_FALSE(FindScore(table, "Radeon HD 7700 Series"));
    EXPECT_EQ(FindScore(table, "GeForce GT 640"), 900); // both say 900
    EXPECT_EQ(FindScore(table, "GT 1030 Series"), 2);
    EXPECT_FALSE(FindScore(table, "AMD Radeon RX 580")); // not a prefix match
    EXPECT_EQ(FindScore(table, "amd radeon rx 580x"), 8000);
}

TEST(FindScore, NamesTheTableHoldsNeverMakeTheCanonicalIndex)
{
    const ScoreTable table = Shipped("gpu.txt");
    for (const ScoreEntry& entry : table.entries)
        ASSERT_EQ(FindScore(table, std::string(EntryName(table, entry))), entry.score);
    EXPECT_TRUE(table.canonical->scores.empty());
    EXPECT_EQ(FindScore(table, "nvidia geforce gtx 690"), 14000);
    EXPECT_FALSE(table.canonical->scores.empty());
}

TEST(FindScore, ThreadsMissingAtOnceShareOneIndex)
{
    const ScoreTable table = Shipped("gpu.txt");
    std::vector<std::optional<int>> found(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < found.size(); ++i)
        threads.emplace_back([&, i] { found[i] = FindScore(table, "NVIDIA GEFORCE GTX 690"); });
    for (std::thread& thread : threads)
        thread.join();
    for (const std::optional<int>& score : found)
        EXPECT_EQ(score, 14000);
}
