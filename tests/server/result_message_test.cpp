// The server's rating of a report, the message it answers with and the rank's order.
#include "server/intake/result_message.hpp"
#include "server/intake/text_encoding.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

namespace {

// Small tables whose bands are easy to tell: each name says its score.
const std::string kCpuText = "cpu600:600\ncpu1200:1200\ncpu2600:2600\ncpu3000:3000\n"
                             "cpu5000:5000\ncpu9000:9000\ncpu9500:9500\n";
const std::string kGpuText = "gpu500:500\ngpu900:900\ngpu2100:2100\ngpu3600:3600\n"
                             "gpu4000:4000\ngpu5000:5000\n";

const ServerTables& TestTables()
{
    static const std::shared_ptr<const ServerTables> tables =
        MakeServerTables(kCpuText, kGpuText, "test");
    return *tables;
}

ReportValues Machine(const std::string& cpu, const std::string& gpu, const std::string& ram,
                     const std::string& cores = "8")
{
    ReportValues values{};
    values[static_cast<std::size_t>(ReportField::Cpu)] = cpu;
    values[static_cast<std::size_t>(ReportField::Gpu)] = gpu;
    values[static_cast<std::size_t>(ReportField::Ram)] = ram;
    values[static_cast<std::size_t>(ReportField::LogicCoreCount)] = cores;
    values[static_cast<std::size_t>(ReportField::LevelCode)] = "1";
    return values;
}

std::string MessageFor(const ReportValues& values, ReportRank rank = {1, 3},
                       const ServerTables& tables = TestTables(),
                       const PopularParts* popular = nullptr)
{
    return RecordedMessage(values, RateReport(tables, values), rank, tables, popular);
}

// The machine the message's steps describe: each suggested part in place of the one it names.
ReportValues SuggestedMachine(ReportValues values, const std::string& message)
{
    static const std::regex adapter("显卡换成“([^”]*)”"), processor("CPU 换成“([^”]*)”"),
        memory("内存加到 (\\d+) GB");
    std::smatch match;
    if (std::regex_search(message, match, adapter))
        values[static_cast<std::size_t>(ReportField::Gpu)] = match[1];
    if (std::regex_search(message, match, processor))
        values[static_cast<std::size_t>(ReportField::Cpu)] = match[1];
    if (std::regex_search(message, match, memory))
        values[static_cast<std::size_t>(ReportField::Ram)] =
            std::to_string(std::stoi(match[1]) * 1024) + ".00 MB";
    return values;
}

struct MessageCase {
    const char* cpu;
    const char* gpu;
    const char* ram;
    const char* message;
};

// One machine of each level, two decided by two parts and one by memory.
const MessageCase kMessages[] = {
    {"cpu9000", "gpu5000", "8192.00 MB",
     "您的电脑为 1 级（1 级最好，共 5 级）。已是最高一级。超过了 50% 的已参与电脑。"},
    {"cpu5000", "gpu5000", "8192.00 MB",
     "您的电脑为 2 级（1 级最好，共 5 级）。决定等级的是CPU“cpu5000”：CPU 换成“cpu9000”，可升到 "
     "1 级。超过了 50% 的已参与电脑。"},
    {"cpu9000", "gpu2100", "8192.00 MB",
     "您的电脑为 3 级（1 级最好，共 5 级）。决定等级的是显卡“gpu2100”：显卡换成“gpu3600”，可升到 "
     "2 级。超过了 50% 的已参与电脑。"},
    {"cpu9000", "gpu5000", "2048.00 MB",
     "您的电脑为 3 级（1 级最好，共 5 级）。决定等级的是内存（2 GB）：内存加到 4 GB，可升到 2 "
     "级。超过了 50% 的已参与电脑。"},
    {"cpu3000", "gpu2100", "8192.00 MB",
     "您的电脑为 3 级（1 级最好，共 5 级）。决定等级的是显卡“gpu2100”和CPU“cpu3000”：显卡换成“"
     "gpu3600”、CPU 换成“cpu5000”，可升到 2 级。超过了 50% 的已参与电脑。"},
    {"cpu1200", "gpu5000", "8192.00 MB",
     "您的电脑为 4 级（1 级最好，共 5 级）。决定等级的是CPU“cpu1200”：CPU 换成“cpu2600”，可升到 "
     "3 级。超过了 50% 的已参与电脑。"},
    {"cpu1200", "gpu900", "1024.00 MB",
     "您的电脑为 4 级（1 级最好，共 5 级）。决定等级的是显卡“gpu900”、CPU“cpu1200”和内存（1 "
     "GB）：显卡换成“gpu2100”、CPU 换成“cpu2600”、内存加到 2 GB，可升到 3 级。超过了 50% "
     "的已参与电脑。"},
    {"cpu9000", "gpu500", "8192.00 MB",
     "您的电脑为 5 级（1 级最好，共 5 级）。决定等级的是显卡“gpu500”：显卡换成“gpu900”，可升到 4 "
     "级。超过了 50% 的已参与电脑。"},
};

TEST(RecordedMessage, EachLevelSaysWhatDecidesItAndTheStepUp)
{
    for (const MessageCase& c : kMessages) {
        const ReportValues values = Machine(c.cpu, c.gpu, c.ram);
        const std::string message = MessageFor(values);
        EXPECT_EQ(message, c.message);
        // The machine with the suggested parts is rated at least one level better.
        const int level = RateReport(TestTables(), values).level.level;
        const int better = RateReport(TestTables(), SuggestedMachine(values, message)).level.level;
        if (level > 1) {
            EXPECT_GE(better, 1) << c.message;
            EXPECT_LE(better, level - 1) << c.message;
        }
    }
}

// Every machine of the test tables' parts and three memory sizes, and a sample of the shipped
// tables' parts: the step up is real and reaches a better level.
TEST(RecordedMessage, EveryStepUpLiftsTheMachine)
{
    const ServerTables& shipped = *ShippedServerTables();
    int checked = 0;
    for (const ServerTables* tables : {&TestTables(), &shipped}) {
        const std::size_t step = tables == &shipped ? 151 : 1;
        for (std::size_t c = 0; c < tables->cpu.entries.size(); c += step)
            for (std::size_t g = 0; g < tables->gpu.entries.size(); g += step)
                for (const char* ram : {"1024.00 MB", "2048.00 MB", "8192.00 MB"}) {
                    const ReportValues values =
                        Machine(std::string(EntryName(tables->cpu, tables->cpu.entries[c])),
                                std::string(EntryName(tables->gpu, tables->gpu.entries[g])), ram);
                    const int level = RateReport(*tables, values).level.level;
                    if (level < 2)
                        continue;
                    const std::string message = MessageFor(values, {0, 1}, *tables);
                    const ReportValues better = SuggestedMachine(values, message);
                    EXPECT_LE(RateReport(*tables, better).level.level, level - 1) << message;
                    ++checked;
                }
    }
    EXPECT_GT(checked, 500);
}

// The most reported part of the next band is suggested when the tables it was found in are in
// use; the lowest-scored one otherwise.
TEST(RecordedMessage, PrefersTheMostReportedPartOfTheNextBand)
{
    const PopularParts popular = PopularPartsIn(
        TestTables(), {"cpu9500", "cpu5000", "unknown", "cpu9000"}, {"gpu4000", "gpu3600"});
    EXPECT_EQ(popular.processors[0], "cpu9500");
    EXPECT_EQ(popular.processors[1], "cpu5000");
    EXPECT_EQ(popular.adapters[1], "gpu4000");
    EXPECT_EQ(popular.adapters[0], "");
    const ReportValues values = Machine("cpu3000", "gpu2100", "8192.00 MB");
    const std::string message = MessageFor(values, {0, 1}, TestTables(), &popular);
    EXPECT_NE(message.find("显卡换成“gpu4000”、CPU 换成“cpu5000”"), std::string::npos) << message;
    PopularParts stale = popular;
    stale.digest = "other tables";
    EXPECT_NE(MessageFor(values, {0, 1}, TestTables(), &stale).find("显卡换成“gpu3600”"),
              std::string::npos);
}

TEST(RecordedMessage, UnknownPartsAreNamedAndSaidToBeReported)
{
    const struct {
        ReportValues values;
        const char* message;
    } cases[] = {
        {Machine("cpu9000", "\xD0\xC2\xCF\xD4\xBF\xA8 X1", "8192.00 MB"), // GBK 新显卡
         "您的电脑的显卡“新显卡 X1”暂未收录，已告知管理员，收录后即可评级；本次未能评级。"},
        {Machine("cpu new", "gpu new", "8192.00 MB", "1"),
         "您的电脑的显卡“gpu new”和CPU“cpu "
         "new”暂未收录，已告知管理员，收录后即可评级；本次未能评级。"},
        // Scored by its eight cores (6000): level 2, decided by the processor.
        {Machine("cpu new", "gpu5000", "8192.00 MB", "8"),
         "您的电脑为 2 级（1 级最好，共 5 级）。决定等级的是CPU“cpu new”：CPU "
         "换成“cpu9000”，可升到 "
         "1 级。CPU暂未收录，已告知管理员，暂按核心数估分。是第一台参与检测的电脑。"},
        // Scored by its four cores (2500), not deciding: named in the note.
        {Machine("cpu new", "gpu2100", "8192.00 MB", "4"),
         "您的电脑为 3 级（1 级最好，共 5 级）。决定等级的是显卡“gpu2100”和CPU“cpu new”：显卡换成“"
         "gpu3600”、CPU 换成“cpu5000”，可升到 2 级。CPU暂未收录，已告知管理员，暂按核心数估分。"
         "是第一台参与检测的电脑。"},
        {Machine("cpu new", "gpu5000", "2048.00 MB", "4"),
         "您的电脑为 3 级（1 级最好，共 5 级）。决定等级的是CPU“cpu new”和内存（2 GB）：CPU 换成“"
         "cpu5000”、内存加到 4 GB，可升到 2 级。CPU暂未收录，已告知管理员，暂按核心数估分。"
         "是第一台参与检测的电脑。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageFor(c.values, {0, 1}), c.message);
}

// The result panel is laid out for the longest message; it is written to the file that
// VXM_LONGEST_MESSAGE_FILE names, when set.
TEST(RecordedMessage, LongNamesAreCutAndTheLongestMessageIsBounded)
{
    // The widest names: 61 characters of a CJK glyph, in the tables and as reported.
    std::string wide;
    for (std::size_t i = 0; i <= kMessageNameCharacters; ++i)
        wide += "\xCF\xD4"; // GBK
    const std::shared_ptr<const ServerTables> tables =
        MakeServerTables(wide + "a:1000\n" + wide + "b:2500\n" + wide + "e:8000\n",
                         wide + "c:800\n" + wide + "d:2000\n" + wide + "f:700\n", "wide");
    std::string longest;
    // Level 4 decided by all three parts; level 4 decided by the adapter and an unknown
    // processor scored by its core count, with a memory one band better; level 5 likewise.
    for (const ReportValues& values : {Machine(wide + "a", wide + "c", "1024.00 MB"),
                                       Machine(wide + "?", wide + "c", "2048.00 MB", "2"),
                                       Machine(wide + "?", wide + "f", "1024.00 MB", "2")}) {
        const std::string message = MessageFor(values, {100, 101}, *tables);
        EXPECT_EQ(message.find("\xEF\xBF\xBD"), std::string::npos) << "every name is UTF-8";
        if (message.size() > longest.size())
            longest = message;
    }
    const std::string cut = CutUtf8(Utf8FromGbk(wide + "a"), kMessageNameCharacters);
    EXPECT_NE(longest.find("“" + cut + "”"), std::string::npos) << longest;
    EXPECT_EQ(cut.size(), 60 * 3 + 3) << "sixty characters and the ellipsis";
    // No message of the test tables, with names of the same width, is longer.
    for (const MessageCase& c : kMessages)
        EXPECT_LE(MessageFor(Machine(wide + c.cpu, wide + c.gpu, c.ram), {100, 101}).size(),
                  longest.size());
    std::size_t characters = 0;
    for (const char byte : longest)
        characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    std::cout << "longest message: " << characters << " characters, " << longest.size()
              << " bytes of UTF-8:\n"
              << longest << "\n";
    EXPECT_LE(characters, 400u);
    if (const char* file = std::getenv("VXM_LONGEST_MESSAGE_FILE"))
        std::ofstream(file, std::ios::binary) << longest << "\n";
}

TEST(ServerRating, MemoryTextBecomesBytes)
{
    const std::pair<const char*, std::uint64_t> cases[] = {{"8192.00 MB", 8589934592ULL},
                                                           {"3840.00 MB", 4026531840ULL},
                                                           {"1983.99 MB", 2080364298ULL},
                                                           {"0.00 MB", 0},
                                                           {"", 0},
                                                           {"8192.00", 0},
                                                           {"-1.00 MB", 0},
                                                           {"1e400 MB", 0},
                                                           {"nan MB", 0},
                                                           {"8192.00 MB ", 0}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(MemoryBytesOf(text), bytes) << text;
}

TEST(ServerRating, ThroughTheCanonicalNameAndTheCoreCount)
{
    const ServerTables& tables = *ShippedServerTables();
    const struct {
        ReportValues values;
        int level;
        int cpuScore;
        unsigned unknown;
    } cases[] = {
        {Machine("Intel Core i7 995X @ 3.60GHz", "NVIDIA GeForce GTX 690", "8192.00 MB"), 1, 10862,
         0},
        // Found by its canonical name, as the program finds it.
        {Machine("INTEL CORE I7 995X  @ 3.60GHZ", "nvidia geforce gtx 690 series", "8192.00 MB"), 1,
         10862, 0},
        {Machine("no such cpu", "NVIDIA GeForce GTX 690", "8192.00 MB", "4"), 3, 2500,
         kProcessorClass},
        {Machine("no such cpu", "no such gpu", "8192.00 MB", "1"), 0, 0,
         kProcessorClass | kAdapterClass},
    };
    for (const auto& c : cases) {
        const ReportRating rating = RateReport(tables, c.values);
        EXPECT_EQ(rating.level.level, c.level);
        EXPECT_EQ(rating.level.cpuScore, c.cpuScore);
        EXPECT_EQ(rating.unknown, c.unknown);
    }
}

// Better level, then a larger product of the scores, then more memory: a machine whose parts are
// each at least as good never ranks lower, and a better level always ranks higher.
TEST(RankKey, OrdersByLevelThenScoresThenMemory)
{
    std::vector<LevelRating> ratings;
    for (const int cpu : {1, 600, 999, 1000, 2500, 4499, 4500, 8000, 10862})
        for (const int gpu : {1, 799, 800, 2000, 3500, 4700, 14000})
            for (const std::uint64_t memory : {0ULL, 2080374784ULL, 4026531840ULL})
                ratings.push_back(RateLevel(cpu, gpu, memory));
    for (const LevelRating& a : ratings)
        for (const LevelRating& b : ratings) {
            const std::int64_t keyA = *RankKey(a), keyB = *RankKey(b);
            if (a.level < b.level) {
                EXPECT_GT(keyA, keyB) << a.level << " " << b.level;
            }
            if (a.cpuScore >= b.cpuScore && a.gpuScore >= b.gpuScore &&
                a.memoryBand <= b.memoryBand) {
                EXPECT_GE(keyA, keyB) << a.cpuScore << "/" << a.gpuScore << " against "
                                      << b.cpuScore << "/" << b.gpuScore;
            }
        }
    EXPECT_FALSE(RankKey(RateLevel(0, 5000, 4026531840ULL)));
}

TEST(ScoreTables, RefusedWithTheReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "gpu.txt is empty"},
        {"a:1", "gpu.txt: the last line has no line end"},
        {"a:1\r\nb\r\n", "gpu.txt line 2: not NAME:SCORE"},
        {":5\n", "gpu.txt line 1: not NAME:SCORE"},
        {"a:\n", "gpu.txt line 1: not NAME:SCORE"},
        {"a:\r\n", "gpu.txt line 1: not NAME:SCORE"},
        {"a:1\n\n", "gpu.txt line 2: not NAME:SCORE"},
        {"a:12x\n", "gpu.txt line 1: the score is not a number of at most 9 digits"},
        {"a:-1\n", "gpu.txt line 1: the score is not a number of at most 9 digits"},
        {"a:99999999999\n", "gpu.txt line 1: the score is not a number of at most 9 digits"},
    };
    for (const auto& [text, reason] : cases) {
        EXPECT_EQ(ScoreTableFault("gpu.txt", text).value_or("accepted"), reason) << text;
        try {
            MakeServerTables(kCpuText, text, "test");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), reason);
        }
    }
    EXPECT_FALSE(ScoreTableFault("cpu.txt", "A:B:12\r\nName:0\n"));
    // The shipped tables are sound and rate as the program does.
    const ServerTables& shipped = *ShippedServerTables();
    EXPECT_GT(shipped.cpu.entries.size(), 1000u);
    EXPECT_EQ(shipped.cheapestGpu[4].empty(), false);
}

} // namespace
