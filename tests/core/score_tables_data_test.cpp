// Checks of the shipped score tables resources/cpu.txt and resources/gpu.txt: the byte layout
// the program's parser relies on, the fixed rows, the score ranges and that the hardware
// people actually own is in there.
#include "eval/score_lookup.hpp"
#include "eval/score_table.hpp"
#include "tests/core/score_table_entries.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TableFile {
    const char* file;
    std::size_t olderEntries; // the tables as they stood for the hardware up to 2014
    int topScore;
    const char* topName;
    const char* commonList; // tests/core/data/..., hardware of 2012-2014
    const char* recentList; // hardware of 2015-2026
    // The parts most common in public hardware surveys of 2015-2026, under the exact names
    // Windows reports for them (desktop and mobile variants, driver spellings).
    const char* surveyList;
};

const TableFile kCpuFile{"cpu.txt",
                         1397,
                         10862,
                         "Intel Core i7 995X @ 3.60GHz",
                         "common_cpus.txt",
                         "recent_cpus.txt",
                         "survey_cpus.txt"};
const TableFile kGpuFile{
    "gpu.txt",        1276, 14000, "NVIDIA GeForce GTX 690", "common_gpus.txt", "recent_gpus.txt",
    "survey_gpus.txt"};

// Both tables are parsed, line by line by a hand matcher, before the first window; this bounds
// what start-up pays for them.
constexpr std::size_t kMaxEntriesPerTable = 2500;

constexpr std::size_t kMaxNameLength = 76;

std::string ReadBinary(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    if (file)
        bytes << file.rdbuf();
    return bytes.str();
}

std::string TableText(const TableFile& table)
{
    return ReadBinary(std::string(VXM_RESOURCES_DIR) + "/" + table.file);
}

// The lines of a text whose every line ends with CR LF (the last one included).
std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

struct Row {
    std::string name;
    std::string digits;
};

// A line split at its last colon.
Row SplitRow(const std::string& line)
{
    const std::size_t colon = line.rfind(':');
    if (colon == std::string::npos)
        return {line, ""};
    return {line.substr(0, colon), line.substr(colon + 1)};
}

ScoreTable ParseTable(const TableFile& table)
{
    return ParseScoreText(TableText(table));
}

int Score(const ScoreTable& table, const std::string& name)
{
    const auto found = LookupScore(table, name);
    return found ? *found : -1;
}

class ShippedScoreTable : public ::testing::TestWithParam<TableFile> {
  protected:
    void SetUp() override
    {
        mText = TableText(GetParam());
        ASSERT_FALSE(mText.empty()) << GetParam().file << " is missing or empty";
        mLines = CrLfLines(mText);
    }

    std::string mText;
    std::vector<std::string> mLines;
};

std::string TableName(const ::testing::TestParamInfo<TableFile>& info)
{
    return info.param.file == std::string("cpu.txt") ? "Cpu" : "Gpu";
}

} // namespace

// ------------------------------------------------------------------------ byte layout

TEST_P(ShippedScoreTable, EveryLineEndsWithCrLfAndNoBareBreakRemains)
{
    ASSERT_GE(mText.size(), 2u);
    EXPECT_EQ(mText.substr(mText.size() - 2), "\r\n") << "the last line lacks CR LF";
    for (std::size_t i = 0; i < mText.size(); ++i) {
        if (mText[i] == '\n') {
            ASSERT_TRUE(i > 0 && mText[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (mText[i] == '\r') {
            ASSERT_TRUE(i + 1 < mText.size() && mText[i + 1] == '\n') << "bare CR at byte " << i;
        }
    }
}

TEST_P(ShippedScoreTable, LinesArePrintableAsciiWithoutBlankLinesOrStrayBlanks)
{
    for (std::size_t i = 0; i < mLines.size(); ++i) {
        const std::string& line = mLines[i];
        ASSERT_FALSE(line.empty()) << "blank line " << i + 1;
        for (char c : line)
            ASSERT_TRUE(c >= 0x20 && c <= 0x7E) << "line " << i + 1 << ": " << line;
        const Row row = SplitRow(line);
        EXPECT_NE(row.name.front(), ' ') << "leading blank: " << line;
        EXPECT_NE(row.name.back(), ' ') << "blank before the colon: " << line;
    }
}

TEST_P(ShippedScoreTable, EachLineIsNameColonScore)
{
    const std::regex score("[1-9][0-9]{0,4}");
    for (const std::string& line : mLines) {
        const Row row = SplitRow(line);
        EXPECT_FALSE(row.name.empty()) << line;
        EXPECT_EQ(row.name.find(':'), std::string::npos) << "colon inside the name: " << line;
        EXPECT_LE(row.name.size(), kMaxNameLength) << line;
        EXPECT_TRUE(std::regex_match(row.digits, score)) << "bad score: " << line;
    }
}

TEST_P(ShippedScoreTable, NamesAreUnique)
{
    std::set<std::string> seen;
    for (const std::string& line : mLines)
        EXPECT_TRUE(seen.insert(SplitRow(line).name).second) << "repeated: " << line;
}

TEST_P(ShippedScoreTable, ParserTakesExactlyOneEntryPerLine)
{
    std::size_t debugLines = 0;
    const ScoreTable table =
        ParseScoreText(mText, [&debugLines](const std::string&) { ++debugLines; });
    EXPECT_EQ(table.entries.size(), mLines.size());
    EXPECT_EQ(debugLines, mLines.size());
    for (const std::string& line : mLines) {
        const Row row = SplitRow(line);
        EXPECT_EQ(Score(table, row.name), std::stoi(row.digits)) << line;
    }
}

// ------------------------------------------------------------------------- size and range

TEST_P(ShippedScoreTable, EntryCountKeepsTheOlderRowsWithinTheStartUpBudget)
{
    const double older = static_cast<double>(GetParam().olderEntries);
    EXPECT_GE(static_cast<double>(mLines.size()), older * 0.9);
    EXPECT_LE(mLines.size(), kMaxEntriesPerTable);
}

TEST_P(ShippedScoreTable, TopEntryHoldsTheMaximumAndNothingReachesIt)
{
    const ScoreTable table = ParseScoreText(mText);
    EXPECT_EQ(Score(table, GetParam().topName), GetParam().topScore);
    for (const auto& [name, score] : TableEntries(table)) {
        EXPECT_GE(score, 1) << name;
        if (name != GetParam().topName) {
            EXPECT_LT(score, GetParam().topScore) << name;
        }
    }
}

// --------------------------------------------------------------------------- coverage

namespace {

struct Coverage {
    std::size_t listed = 0;
    std::size_t found = 0;
    std::string missing;
};

// Looks up every name of a list in tests/core/data (one name a line, no duplicates) as the
// evaluation does: by the exact name, or else by its canonical name.
Coverage CheckList(const std::string& tableText, const char* listName)
{
    const std::string listPath = std::string(VXM_TESTS_DIR) + "/core/data/" + listName;
    std::istringstream list(ReadBinary(listPath));
    std::set<std::string> unique;
    const ScoreTable table = ParseScoreText(tableText);
    Coverage coverage;
    for (std::string name; std::getline(list, name);) {
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        if (name.empty())
            continue;
        EXPECT_TRUE(unique.insert(name).second) << "listed twice in " << listName << ": " << name;
        ++coverage.listed;
        if (FindScore(table, name))
            ++coverage.found;
        else
            coverage.missing += "\n  " + name;
    }
    return coverage;
}

} // namespace

TEST_P(ShippedScoreTable, CommonHardwareIsListed)
{
    const Coverage c = CheckList(mText, GetParam().commonList);
    ASSERT_GE(c.listed, 150u) << GetParam().commonList;
    EXPECT_GE(c.found * 100, c.listed * 95)
        << c.found << " of " << c.listed << " found; missing:" << c.missing;
}

TEST_P(ShippedScoreTable, EveryRecentAndSurveyedPartIsListed)
{
    for (const char* list : {GetParam().recentList, GetParam().surveyList}) {
        const Coverage c = CheckList(mText, list);
        ASSERT_GE(c.listed, 150u) << list;
        EXPECT_EQ(c.found, c.listed) << list << " missing:" << c.missing;
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, ShippedScoreTable, ::testing::Values(kCpuFile, kGpuFile),
                         TableName);

// ------------------------------------------------------------------------- fixed rows

namespace {

bool HasExactLine(const std::string& text, const std::string& line)
{
    return text.compare(0, line.size() + 2, line + "\r\n") == 0 ||
           text.find("\r\n" + line + "\r\n") != std::string::npos;
}

} // namespace

TEST(CpuScoreTable, KeepsTheFixedRowsByteForByte)
{
    const std::string text = TableText(kCpuFile);
    const ScoreTable table = ParseScoreText(text);
    const std::vector<std::pair<std::string, int>> rows = {
        {"Intel Core i7 995X @ 3.60GHz", 10862},
        {"Intel(R) Core(TM) i7-3970X CPU @ 3.50GHz", 10700},
        {"Intel Xeon X5650 @ 2.67GHz", 7962},
        {"AMD Phenom II X4 975", 4478},
        {"Intel(R) Core(TM)2 CPU         E8500  @ 3.16GHz", 1800},
        {"Intel Pentium D 3.60GHz", 995},
    };
    for (const auto& [name, score] : rows) {
        EXPECT_TRUE(HasExactLine(text, name + ":" + std::to_string(score))) << name;
        EXPECT_EQ(Score(table, name), score) << name;
    }
    // nine blanks after "CPU", two before "@": the padded form only
    EXPECT_FALSE(LookupScore(table, "Intel(R) Core(TM)2 CPU E8500 @ 3.16GHz"));
}

TEST(GpuScoreTable, KeepsTheFixedRowsByteForByte)
{
    const std::string text = TableText(kGpuFile);
    const ScoreTable table = ParseScoreText(text);
    const std::vector<std::pair<std::string, int>> rows = {
        {"NVIDIA GeForce GTX 690", 14000}, {"NVIDIA GeForce GTX 550 Ti", 4500},
        {"ATI Radeon HD 4870", 3420},      {"NVIDIA GeForce GT 635", 1300},
        {"ATI Radeon HD 4850", 400},
    };
    for (const auto& [name, score] : rows) {
        EXPECT_TRUE(HasExactLine(text, name + ":" + std::to_string(score))) << name;
        EXPECT_EQ(Score(table, name), score) << name;
    }
}

TEST(CpuScoreTable, GenericNamesScoreOne)
{
    const ScoreTable table = ParseTable(kCpuFile);
    for (const char* name : {"AMD Processor", "amd model unknown", "Intel Processor"})
        EXPECT_EQ(Score(table, name), 1) << name;
}

TEST(GpuScoreTable, GenericAdaptersAndUnresolvedDriverTextScoreOne)
{
    const ScoreTable table = ParseTable(kGpuFile);
    for (const char* name : {"%NVIDIA_DEV.0407.03.nvam%", "Standard VGA Graphics Adapter",
                             "Microsoft Basic Render Driver", "Microsoft Basic Display Adapter"})
        EXPECT_EQ(Score(table, name), 1) << name;
}

// ------------------------------------------------------------------ names as probes see them

// CPUID holds 48 bytes with the terminator, so a brand string never passes 47 characters.
TEST(CpuScoreTable, BrandStringsFitTheCpuidField)
{
    const std::regex brand(R"(.*\((R|TM|tm)\).*)");
    for (const auto& [name, score] : TableEntries(ParseTable(kCpuFile)))
        if (std::regex_match(name, brand)) {
            EXPECT_LE(name.size(), 47u) << name;
        }
}

// Core 2 era and first-generation Core i brand strings pad the model number so that it ends
// in column 36 and is followed by exactly two blanks and "@".
TEST(CpuScoreTable, PaddedBrandStringsKeepTheirColumns)
{
    const std::regex padded(R"((Intel\(R\) Core\(TM\)2 |Intel\(R\) Core\(TM\) i[357] CPU   |)"
                            R"(Intel\(R\) Core\(TM\) (Duo|Solo) CPU|Pentium\(R\) Dual-Core|)"
                            R"(Celeron\(R\) Dual-Core|Intel\(R\) Pentium\(R\) Dual  CPU|)"
                            R"(Intel\(R\) (Xeon|Pentium|Celeron)\(R\) (M )?CPU   |)"
                            R"(Genuine Intel\(R\) CPU   ).*)");
    std::size_t checked = 0;
    for (const auto& [name, score] : TableEntries(ParseTable(kCpuFile))) {
        if (!std::regex_match(name, padded))
            continue;
        ++checked;
        EXPECT_EQ(name.find("  @ "), 36u) << "[" << name << "]";
        EXPECT_NE(name[35], ' ') << "[" << name << "]";
    }
    EXPECT_GE(checked, 300u);
}

// ------------------------------------------------------------------------ family order

namespace {

// Each row lists parts of one family, fastest first.
void ExpectDescending(const ScoreTable& table, const std::vector<std::string>& parts)
{
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ASSERT_GT(Score(table, parts[i]), 0) << "not listed: " << parts[i];
        if (i > 0) {
            EXPECT_GE(Score(table, parts[i - 1]), Score(table, parts[i]))
                << parts[i - 1] << " scores below " << parts[i];
        }
    }
}

} // namespace

TEST(CpuScoreTable, FasterPartsOfAFamilyScoreHigher)
{
    const ScoreTable t = ParseTable(kCpuFile);
    ExpectDescending(
        t, {"Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz", "Intel(R) Core(TM) i5-4670K CPU @ 3.40GHz",
            "Intel(R) Core(TM) i5-4570 CPU @ 3.20GHz", "Intel(R) Core(TM) i3-4130 CPU @ 3.40GHz",
            "Intel(R) Pentium(R) CPU G3220 @ 3.00GHz", "Intel(R) Celeron(R) CPU G1820 @ 2.70GHz"});
    ExpectDescending(
        t, {"Intel(R) Core(TM) i7-3770K CPU @ 3.50GHz", "Intel(R) Core(TM) i5-3570K CPU @ 3.40GHz",
            "Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz", "Intel(R) Core(TM) i3-3220 CPU @ 3.30GHz",
            "Intel(R) Pentium(R) CPU G2020 @ 2.90GHz", "Intel(R) Celeron(R) CPU G1610 @ 2.60GHz"});
    ExpectDescending(
        t, {"Intel(R) Core(TM) i7-2600K CPU @ 3.40GHz", "Intel(R) Core(TM) i5-2500K CPU @ 3.30GHz",
            "Intel(R) Core(TM) i5-2400 CPU @ 3.10GHz", "Intel(R) Core(TM) i3-2100 CPU @ 3.10GHz",
            "Intel(R) Pentium(R) CPU G620 @ 2.60GHz", "Intel(R) Celeron(R) CPU G530 @ 2.40GHz"});
    ExpectDescending(
        t, {"Intel(R) Core(TM) i7-3630QM CPU @ 2.40GHz", "Intel(R) Core(TM) i5-3210M CPU @ 2.50GHz",
            "Intel(R) Core(TM) i3-3110M CPU @ 2.40GHz", "Intel(R) Pentium(R) CPU B950 @ 2.10GHz",
            "Intel(R) Celeron(R) CPU B815 @ 1.60GHz"});
    ExpectDescending(t, {"Intel(R) Core(TM) i7 CPU         950  @ 3.07GHz",
                         "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz",
                         "Intel(R) Core(TM) i5 CPU         750  @ 2.67GHz",
                         "Intel(R) Core(TM) i3 CPU         530  @ 2.93GHz"});
    ExpectDescending(t, {"Intel(R) Core(TM)2 Quad CPU    Q9650  @ 3.00GHz",
                         "Intel(R) Core(TM)2 Quad CPU    Q9550  @ 2.83GHz",
                         "Intel(R) Core(TM)2 Quad  CPU   Q9400  @ 2.66GHz",
                         "Intel(R) Core(TM)2 Quad CPU    Q6600  @ 2.40GHz",
                         "Intel(R) Core(TM)2 Quad  CPU   Q8200  @ 2.33GHz",
                         "Intel(R) Core(TM)2 Duo CPU     E8500  @ 3.16GHz",
                         "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz",
                         "Intel(R) Core(TM)2 Duo CPU     E7500  @ 2.93GHz",
                         "Intel(R) Core(TM)2 Duo CPU     E4500  @ 2.20GHz",
                         "Intel(R) Pentium(R) Dual  CPU  E2180  @ 2.00GHz",
                         "Intel(R) Celeron(R) CPU          430  @ 1.80GHz",
                         "Intel(R) Atom(TM) CPU N270   @ 1.60GHz"});
    ExpectDescending(t, {"Intel(R) Pentium(R) D CPU 3.60GHz", "Intel(R) Pentium(R) D CPU 3.00GHz",
                         "Intel(R) Pentium(R) 4 CPU 3.00GHz", "Intel(R) Pentium(R) 4 CPU 2.40GHz",
                         "Intel(R) Celeron(R) CPU 2.40GHz"});
    ExpectDescending(
        t, {"AMD FX(tm)-8350 Eight-Core Processor", "AMD FX(tm)-8150 Eight-Core Processor",
            "AMD FX(tm)-6300 Six-Core Processor", "AMD FX(tm)-4300 Quad-Core Processor"});
    ExpectDescending(t, {"AMD Phenom(tm) II X6 1100T Processor",
                         "AMD Phenom(tm) II X6 1090T Processor",
                         "AMD Phenom(tm) II X4 975 Processor", "AMD Phenom(tm) II X4 965 Processor",
                         "AMD Phenom(tm) II X4 940 Processor", "AMD Phenom(tm) II X3 720 Processor",
                         "AMD Phenom(tm) II X2 555 Processor", "AMD Athlon(tm) II X2 250 Processor",
                         "AMD Athlon(tm) 64 X2 Dual Core Processor 5000+",
                         "AMD Athlon(tm) 64 Processor 3200+", "AMD Sempron(tm) Processor 3000+"});
    ExpectDescending(t, {"AMD A10-6800K APU with Radeon(tm) HD Graphics",
                         "AMD A10-5800K APU with Radeon(tm) HD Graphics",
                         "AMD A8-5600K APU with Radeon(tm) HD Graphics",
                         "AMD A6-5400K APU with Radeon(tm) HD Graphics",
                         "AMD A4-5000 APU with Radeon(TM) HD Graphics",
                         "AMD E2-1800 APU with Radeon(tm) HD Graphics", "AMD E-350 Processor",
                         "AMD C-50 Processor"});
    // the short benchmark name scores like the brand string of the same part
    EXPECT_EQ(Score(t, "Intel Core i5-2500K @ 3.30GHz"),
              Score(t, "Intel(R) Core(TM) i5-2500K CPU @ 3.30GHz"));
    EXPECT_EQ(Score(t, "Intel Xeon X5650 @ 2.67GHz"),
              Score(t, "Intel(R) Xeon(R) CPU           X5650  @ 2.67GHz"));
}

TEST(GpuScoreTable, FasterAdaptersOfAFamilyScoreHigher)
{
    const ScoreTable t = ParseTable(kGpuFile);
    ExpectDescending(t, {"NVIDIA GeForce GTX 780 Ti", "NVIDIA GeForce GTX 780",
                         "NVIDIA GeForce GTX 770", "NVIDIA GeForce GTX 760",
                         "NVIDIA GeForce GTX 660", "NVIDIA GeForce GTX 650 Ti",
                         "NVIDIA GeForce GTX 650", "NVIDIA GeForce GT 640", "NVIDIA GeForce GT 630",
                         "NVIDIA GeForce GT 620", "NVIDIA GeForce GT 610"});
    ExpectDescending(t, {"NVIDIA GeForce GTX 680", "NVIDIA GeForce GTX 670",
                         "NVIDIA GeForce GTX 660 Ti", "NVIDIA GeForce GTX 660"});
    ExpectDescending(t, {"NVIDIA GeForce GTX 580", "NVIDIA GeForce GTX 570",
                         "NVIDIA GeForce GTX 560 Ti", "NVIDIA GeForce GTX 560",
                         "NVIDIA GeForce GTX 550 Ti", "NVIDIA GeForce GT 545",
                         "NVIDIA GeForce GT 520"});
    ExpectDescending(t,
                     {"NVIDIA GeForce GTX 480", "NVIDIA GeForce GTX 470", "NVIDIA GeForce GTX 460",
                      "NVIDIA GeForce GTS 450", "NVIDIA GeForce GT 440", "NVIDIA GeForce GT 430"});
    ExpectDescending(t,
                     {"NVIDIA GeForce GTX 285", "NVIDIA GeForce GTX 260", "NVIDIA GeForce GTS 250",
                      "NVIDIA GeForce 9800 GT", "NVIDIA GeForce 9600 GT", "NVIDIA GeForce 9500 GT",
                      "NVIDIA GeForce 9400 GT", "NVIDIA GeForce 8400 GS"});
    ExpectDescending(t, {"NVIDIA GeForce GTX 780M", "NVIDIA GeForce GTX 770M",
                         "NVIDIA GeForce GTX 765M", "NVIDIA GeForce GT 750M",
                         "NVIDIA GeForce GT 740M", "NVIDIA GeForce GT 720M"});
    ExpectDescending(t, {"AMD Radeon R9 290X", "AMD Radeon R9 290", "AMD Radeon R9 280X",
                         "AMD Radeon R9 270X", "AMD Radeon R7 260X", "AMD Radeon R7 250",
                         "AMD Radeon R7 240"});
    ExpectDescending(t, {"AMD Radeon HD 7970", "AMD Radeon HD 7950", "AMD Radeon HD 7870",
                         "AMD Radeon HD 7850", "AMD Radeon HD 7770", "AMD Radeon HD 7750",
                         "AMD Radeon HD 7570", "AMD Radeon HD 7450"});
    ExpectDescending(t, {"AMD Radeon HD 6970", "AMD Radeon HD 6950", "AMD Radeon HD 6870",
                         "AMD Radeon HD 6850", "AMD Radeon HD 6770", "AMD Radeon HD 6670",
                         "AMD Radeon HD 6570", "AMD Radeon HD 6450"});
    ExpectDescending(t, {"ATI Radeon HD 5870", "ATI Radeon HD 5850", "ATI Radeon HD 5770",
                         "ATI Radeon HD 5670", "ATI Radeon HD 5570", "ATI Radeon HD 5450"});
    ExpectDescending(t, {"Intel(R) Iris(TM) Pro Graphics 5200", "Intel(R) HD Graphics 4600",
                         "Intel(R) HD Graphics 4400", "Intel(R) HD Graphics 4000",
                         "Intel(R) HD Graphics 3000", "Intel(R) HD Graphics 2000",
                         "Intel(R) Graphics Media Accelerator HD",
                         "Mobile Intel(R) 4 Series Express Chipset Family",
                         "Mobile Intel(R) 965 Express Chipset Family",
                         "Mobile Intel(R) 945 Express Chipset Family"});
    // an in-box driver's description scores like the adapter itself
    EXPECT_EQ(Score(t, "NVIDIA GeForce 8600 GT (Microsoft Corporation - WDDM v1.1)"),
              Score(t, "NVIDIA GeForce 8600 GT"));
}

// ------------------------------------------------------------- parts of 2015 and later

namespace {

// Each pair is (faster, slower); the faster part must score strictly higher.
void ExpectOrdered(const ScoreTable& table,
                   const std::vector<std::pair<std::string, std::string>>& pairs)
{
    for (const auto& [faster, slower] : pairs) {
        const int high = Score(table, faster);
        const int low = Score(table, slower);
        ASSERT_GT(high, 0) << "not listed: " << faster;
        ASSERT_GT(low, 0) << "not listed: " << slower;
        EXPECT_GT(high, low) << faster << " (" << high << ") does not score above " << slower
                             << " (" << low << ")";
    }
}

void ExpectAtLeast(const ScoreTable& table, int threshold, const std::vector<std::string>& parts)
{
    for (const std::string& part : parts)
        EXPECT_GE(Score(table, part), threshold) << part;
}

} // namespace

TEST(CpuScoreTable, NewerTiersScoreAboveOlderOnes)
{
    const ScoreTable t = ParseTable(kCpuFile);
    ExpectOrdered(
        t,
        {
            {"Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz",
             "Intel(R) Core(TM) i7-7700K CPU @ 4.20GHz"},
            {"Intel(R) Core(TM) i7-7700K CPU @ 4.20GHz",
             "Intel(R) Core(TM) i7-6700K CPU @ 4.00GHz"},
            {"Intel(R) Core(TM) i7-6700K CPU @ 4.00GHz",
             "Intel(R) Core(TM) i7-4790K CPU @ 4.00GHz"},
            {"Intel(R) Core(TM) i7-4790K CPU @ 4.00GHz",
             "Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz"},
            {"Intel(R) Core(TM) i5-4460 CPU @ 3.20GHz", "Intel(R) Core(TM) i5-4440 CPU @ 3.10GHz"},
            {"Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz", "Intel(R) Core(TM) i5-7400 CPU @ 3.00GHz"},
            {"Intel(R) Core(TM) i5-9400F CPU @ 2.90GHz", "Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz"},
            {"Intel(R) Core(TM) i5-10400 CPU @ 2.90GHz",
             "Intel(R) Core(TM) i5-9400F CPU @ 2.90GHz"},
            {"11th Gen Intel(R) Core(TM) i5-11400 @ 2.60GHz",
             "Intel(R) Core(TM) i5-10400 CPU @ 2.90GHz"},
            {"12th Gen Intel(R) Core(TM) i5-12400",
             "11th Gen Intel(R) Core(TM) i5-11400 @ 2.60GHz"},
            {"13th Gen Intel(R) Core(TM) i7-13700K", "12th Gen Intel(R) Core(TM) i7-12700K"},
            {"12th Gen Intel(R) Core(TM) i7-12700K", "Intel(R) Core(TM) i7-10700K CPU @ 3.80GHz"},
            {"13th Gen Intel(R) Core(TM) i9-13900K", "12th Gen Intel(R) Core(TM) i9-12900K"},
            {"11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz",
             "Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz"},
            {"Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz",
             "Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz"},
            {"Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz",
             "Intel(R) Core(TM) i7-7500U CPU @ 2.70GHz"},
            {"Intel(R) Core(TM) i7-7500U CPU @ 2.70GHz",
             "Intel(R) Core(TM) i7-6500U CPU @ 2.50GHz"},
            {"Intel(R) Core(TM) i7-6500U CPU @ 2.50GHz",
             "Intel(R) Core(TM) i7-4500U CPU @ 1.80GHz"},
            {"12th Gen Intel(R) Core(TM) i7-12700H", "Intel(R) Core(TM) i7-8750H CPU @ 2.20GHz"},
            {"Intel(R) N100", "Intel(R) Celeron(R) N5105 @ 2.00GHz"},
            {"Intel(R) Celeron(R) N5105 @ 2.00GHz", "Intel(R) Celeron(R) N4020 CPU @ 1.10GHz"},
            {"Intel(R) Celeron(R) N4020 CPU @ 1.10GHz", "Intel(R) Celeron(R) CPU N3060 @ 1.60GHz"},
            {"AMD Ryzen 7 7700X 8-Core Processor", "AMD Ryzen 7 5700X 8-Core Processor"},
            {"AMD Ryzen 7 5700X 8-Core Processor", "AMD Ryzen 7 3700X 8-Core Processor"},
            {"AMD Ryzen 7 3700X 8-Core Processor", "AMD Ryzen 7 2700 Eight-Core Processor"},
            {"AMD Ryzen 7 2700 Eight-Core Processor", "AMD Ryzen 7 1700 Eight-Core Processor"},
            {"AMD Ryzen 7 1700 Eight-Core Processor", "AMD FX(tm)-8350 Eight-Core Processor"},
            {"AMD Ryzen 5 5600X 6-Core Processor", "AMD Ryzen 5 3600 6-Core Processor"},
            {"AMD Ryzen 5 3600 6-Core Processor", "AMD Ryzen 5 2600 Six-Core Processor"},
            {"AMD Ryzen 5 2600 Six-Core Processor", "AMD Ryzen 5 1600 Six-Core Processor"},
            {"AMD Ryzen 9 7950X 16-Core Processor", "AMD Ryzen 9 5950X 16-Core Processor"},
            {"AMD Ryzen 9 5950X 16-Core Processor", "AMD Ryzen 9 3950X 16-Core Processor"},
            {"AMD Ryzen 7 5800H with Radeon Graphics", "AMD Ryzen 7 4800H with Radeon Graphics"},
            {"AMD Ryzen 5 5500U with Radeon Graphics",
             "AMD Ryzen 5 3500U with Radeon Vega Mobile Gfx"},
            {"AMD Ryzen 5 3500U with Radeon Vega Mobile Gfx",
             "AMD A10-9600P RADEON R5, 10 COMPUTE CORES 4C+6G"},
            {"AMD Ryzen Threadripper 3990X 64-Core Processor",
             "AMD Ryzen Threadripper 1950X 16-Core Processor"},
            // a mainstream desktop part of 2020 outruns every processor of 2014
            {"AMD Ryzen 5 5600X 6-Core Processor", "Intel(R) Xeon(R) CPU E5-2697 v2 @ 2.70GHz"},
        });
    // the processors the survey meets most often land in the top band
    ExpectAtLeast(t, 8000,
                  {"AMD Ryzen 5 5600X 6-Core Processor", "AMD Ryzen 7 5800X 8-Core Processor",
                   "12th Gen Intel(R) Core(TM) i7-12700K", "13th Gen Intel(R) Core(TM) i7-13700K",
                   "Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz"});
}

TEST(GpuScoreTable, NewerTiersAndDiscreteCardsScoreAbove)
{
    const ScoreTable t = ParseTable(kGpuFile);
    ExpectOrdered(
        t, {
               {"NVIDIA GeForce RTX 4060", "NVIDIA GeForce RTX 3060"},
               {"NVIDIA GeForce RTX 3060", "NVIDIA GeForce RTX 2060"},
               {"NVIDIA GeForce RTX 2060", "NVIDIA GeForce GTX 1060 6GB"},
               {"NVIDIA GeForce GTX 1060 6GB", "NVIDIA GeForce GTX 960"},
               {"NVIDIA GeForce GTX 960", "NVIDIA GeForce GTX 760"},
               {"NVIDIA GeForce RTX 4090", "NVIDIA GeForce RTX 3090"},
               {"NVIDIA GeForce RTX 3090", "NVIDIA GeForce RTX 2080 Ti"},
               {"NVIDIA GeForce RTX 2080 Ti", "NVIDIA GeForce GTX 1080 Ti"},
               {"NVIDIA GeForce GTX 1080 Ti", "NVIDIA GeForce GTX 980 Ti"},
               {"NVIDIA GeForce GTX 980 Ti", "NVIDIA GeForce GTX 780 Ti"},
               {"NVIDIA GeForce GTX 1650", "NVIDIA GeForce GTX 1050"},
               {"NVIDIA GeForce GTX 1050", "NVIDIA GeForce GTX 750"},
               {"NVIDIA GeForce RTX 4060 Laptop GPU", "NVIDIA GeForce RTX 3060 Laptop GPU"},
               {"NVIDIA GeForce RTX 3050 Laptop GPU", "NVIDIA GeForce GTX 1650 with Max-Q Design"},
               {"NVIDIA GeForce MX450", "NVIDIA GeForce MX250"},
               {"NVIDIA GeForce MX250", "NVIDIA GeForce 940MX"},
               {"NVIDIA GeForce GTX 960M", "NVIDIA GeForce GTX 860M"},
               {"AMD Radeon RX 7600", "AMD Radeon RX 6600"},
               {"AMD Radeon RX 6600", "AMD Radeon RX 5500 XT"},
               {"AMD Radeon RX 5500 XT", "Radeon RX 570 Series"},
               {"Radeon RX 580 Series", "AMD Radeon R9 380 Series"},
               {"AMD Radeon RX 7900 XTX", "AMD Radeon RX 6900 XT"},
               {"AMD Radeon RX 6900 XT", "AMD Radeon RX 5700 XT"},
               {"AMD Radeon RX 5700 XT", "Radeon RX Vega"},
               {"AMD Radeon R9 390 Series", "AMD Radeon R9 290X"},
               {"AMD Radeon 780M Graphics", "AMD Radeon(TM) 680M"},
               {"AMD Radeon(TM) 680M", "AMD Radeon(TM) Graphics"},
               {"AMD Radeon(TM) Graphics", "AMD Radeon(TM) Vega 8 Graphics"},
               {"AMD Radeon(TM) Vega 8 Graphics", "AMD Radeon R5 Graphics"},
               {"Intel(R) UHD Graphics 770", "Intel(R) UHD Graphics 630"},
               {"Intel(R) UHD Graphics 630", "Intel(R) HD Graphics 630"},
               {"Intel(R) HD Graphics 630", "Intel(R) HD Graphics 530"},
               {"Intel(R) HD Graphics 530", "Intel(R) HD Graphics 4600"},
               {"Intel(R) Iris(R) Xe Graphics", "Intel(R) UHD Graphics 620"},
               {"Intel(R) UHD Graphics 620", "Intel(R) HD Graphics 520"},
               {"Intel(R) HD Graphics 520", "Intel(R) HD Graphics 5500"},
               {"Intel(R) HD Graphics 5500", "Intel(R) HD Graphics 4400"},
               {"Intel(R) Arc(TM) A770 Graphics", "Intel(R) Arc(TM) A380 Graphics"},
               // a discrete card above the integrated graphics of its day
               {"NVIDIA GeForce GTX 1050", "Intel(R) HD Graphics 630"},
               {"NVIDIA GeForce GT 1030", "Intel(R) UHD Graphics 630"},
               {"NVIDIA GeForce MX150", "Intel(R) UHD Graphics 620"},
               {"NVIDIA GeForce 940MX", "Intel(R) HD Graphics 520"},
               {"NVIDIA GeForce RTX 3050 Laptop GPU", "Intel(R) Iris(R) Xe Graphics"},
               {"AMD Radeon RX 560X", "AMD Radeon(TM) Vega 8 Graphics"},
               {"NVIDIA GeForce RTX 4050 Laptop GPU", "AMD Radeon 780M Graphics"},
           });
    ExpectAtLeast(t, 4700,
                  {"NVIDIA GeForce RTX 3060", "AMD Radeon RX 6600", "AMD Radeon RX 6600 XT",
                   "NVIDIA GeForce GTX 1650"});
    // renamed spellings of one adapter score alike
    EXPECT_EQ(Score(t, "Intel(R) Iris(TM) Graphics 6100"),
              Score(t, "Intel(R) Iris(R) Graphics 6100"));
    EXPECT_EQ(Score(t, "Radeon RX 580 Series"), Score(t, "AMD Radeon RX 580"));
}
