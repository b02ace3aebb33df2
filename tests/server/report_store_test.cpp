#include "server/store/report_store.hpp"
#include "server/store/store_schema.hpp"
#include "server/views/csv_export.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <cstdlib>

// The server's compiled-in copy of the program's tables.
extern const std::string_view kShippedCpuTable;
extern const std::string_view kShippedGpuTable;

namespace {

std::int64_t CountIn(const std::vector<Tally>& tallies, const std::string& label)
{
    for (const Tally& tally : tallies) {
        if (tally.label == label)
            return tally.count;
    }
    return 0;
}

StoredReport Report(const std::string& account, const std::string& mac, const std::string& level,
                    const std::string& gain, const std::string& cpu = "cpu")
{
    StoredReport report;
    report.values = SampleValues(account, mac, gain);
    report.values[static_cast<std::size_t>(ReportField::LevelCode)] = level;
    report.values[static_cast<std::size_t>(ReportField::Cpu)] = cpu;
    report.receivedAt = 1765000000; // 2025-12-06
    report.peer = "127.0.0.1";
    return report;
}

// A machine with the given processor and adapter names, of its own account and MAC.
StoredReport Machine(const std::string& account, const std::string& cpu, const std::string& gpu)
{
    StoredReport report = Report(account, "MAC-" + account, "1", "801", cpu);
    report.values[static_cast<std::size_t>(ReportField::Gpu)] = gpu;
    return report;
}

// The unknown devices whose names hold the tag.
std::vector<UnknownDevice> AllUnknown(ReportStore& store, const std::string& tag)
{
    std::vector<UnknownDevice> devices;
    store.ForEachUnknownDevice([&](const UnknownDevice& device) {
        if (device.tally.label.find(tag) != std::string::npos)
            devices.push_back(device);
    });
    return devices;
}

class ReportStoreTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override
    {
        if (GetParam() == "sqlite") {
            mDatabase = FreshSqliteFolder();
        } else if (const char* url = std::getenv("VXM_TEST_POSTGRES_URL")) {
            mDatabase = url;
        } else {
            GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
        }
        mStore = OpenReportStore(mDatabase);
        // The PostgreSQL database may hold other tests' reports: figures are compared as changes.
        mBefore = mStore->Summarize();
        mTag = std::to_string(std::random_device{}());
    }
    void TearDown() override
    {
        mStore.reset();
        if (GetParam() == "sqlite")
            std::filesystem::remove_all(mDatabase);
    }
    std::string mDatabase;
    std::unique_ptr<ReportStore> mStore;
    SurveyFigures mBefore;
    std::string mTag;
};

// Level 1 (a rated processor), level 2 (an unknown one scored by its eight cores) and unrated
// (an unknown adapter as well); a repeat.
TEST_P(ReportStoreTest, OneBatchRecordsRanksAndTallies)
{
    const std::string macA = "AA-" + mTag, macB = "BB-" + mTag;
    const std::string unknownCpu = "<cpu " + mTag + ">";
    std::vector<StoredReport> batch = {
        Report("1" + mTag, macA, "1", "800", "Intel Core i7 995X @ 3.60GHz"),
        Report("2" + mTag, macA, "3", "700", unknownCpu),
        Report("1" + mTag, macA, "1", "800"), // the same account on the same machine
        Report("3" + mTag, macB, "", "0", unknownCpu),
    };
    batch[3].values[static_cast<std::size_t>(ReportField::Gpu)] = "<gpu " + mTag + ">";
    batch[3].values[static_cast<std::size_t>(ReportField::Os)] = "\xCE\xC4 " + mTag;
    const std::int64_t ratedBefore = mBefore.reports - CountIn(mBefore[SurveyList::Levels], "0");
    const auto outcomes = mStore->Record(batch);
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_TRUE(outcomes[0].recorded);
    EXPECT_TRUE(outcomes[1].recorded);
    EXPECT_FALSE(outcomes[2].recorded);
    EXPECT_TRUE(outcomes[3].recorded);
    EXPECT_EQ(outcomes[0].rating.level.level, 1);
    EXPECT_EQ(outcomes[1].rating.level.level, 2);
    EXPECT_EQ(outcomes[1].rating.unknown, kProcessorClass);
    EXPECT_EQ(outcomes[3].rating.level.level, 0);
    // Ranks count the rated reports recorded so far, this batch included; the better level
    // ranks above the worse; the unrated one has none.
    EXPECT_EQ(outcomes[0].rank.total, ratedBefore + 2);
    EXPECT_GE(outcomes[0].rank.below - outcomes[1].rank.below, 1);
    EXPECT_EQ(outcomes[3].rank.total, 0);
    if (GetParam() == "sqlite") {
        EXPECT_EQ(outcomes[0].rank.below, 1);
        EXPECT_EQ(outcomes[1].rank.below, 0);
    }

    const SurveyFigures after = mStore->Summarize();
    EXPECT_EQ(after.reports - mBefore.reports, 3);
    EXPECT_EQ(after.machines - mBefore.machines, 2);
    // The true levels, and the level codes that disagree with them (level 2 sent "3").
    for (const auto& [level, added] : {std::pair("1", 1), std::pair("2", 1), std::pair("0", 1)})
        EXPECT_EQ(CountIn(after[SurveyList::Levels], level) -
                      CountIn(mBefore[SurveyList::Levels], level),
                  added)
            << level;
    EXPECT_EQ(after.disagreeing - mBefore.disagreeing, 1);
    EXPECT_EQ(CountIn(after[SurveyList::Deciding], "2:cpu") -
                  CountIn(mBefore[SurveyList::Deciding], "2:cpu"),
              1);
    EXPECT_EQ(
        CountIn(after[SurveyList::Days], "20428") - CountIn(mBefore[SurveyList::Days], "20428"), 3);
    // Systems and memory sizes are counted under the page's names.
    const struct {
        SurveyList list;
        std::string label;
        std::int64_t added;
    } named[] = {
        {SurveyList::Systems, "Windows 7", 2}, {SurveyList::Systems, "Windows 6.1, SP 1.0", 0},
        {SurveyList::Memory, "8 GB", 3},       {SurveyList::Memory, "8192.00 MB", 0},
        {SurveyList::VideoMemory, "4 GB", 3},  {SurveyList::VideoMemory, "4095.00 MB", 0},
    };
    for (const auto& [list, label, added] : named)
        EXPECT_EQ(CountIn(after[list], label) - CountIn(mBefore[list], label), added) << label;
    if (GetParam() == "sqlite") {
        ASSERT_FALSE(after[SurveyList::Processors].empty());
        EXPECT_EQ(after[SurveyList::Processors][0].label, unknownCpu);
        EXPECT_EQ(after[SurveyList::Processors][0].count, 2);
        EXPECT_DOUBLE_EQ(after[SurveyList::Processors][0].averageGain, 700)
            << "of the rated one alone";
        EXPECT_EQ(CountIn(after[SurveyList::Systems], "文 " + mTag), 1)
            << "a text without a name, as UTF-8";
    }
    // A later batch sees the earlier one: the same report again, past the time a retry takes,
    // is a repeat.
    StoredReport later = batch[1];
    later.receivedAt += kRepostSeconds + 1;
    EXPECT_FALSE(mStore->Record({later}).at(0).recorded);
}

// Each list of the page is read from its own tally: a rated machine whose processor decides its
// level 2, and an unrated one whose adapter no table holds, each found in every list where it
// belongs. Every list has a row here.
TEST_P(ReportStoreTest, EachListOfThePageHoldsItsOwnTally)
{
    if (GetParam() != "sqlite")
        GTEST_SKIP() << "the lists hold the top rows of a database other tests share";
    const std::string unknownCpu = "<cpu " + mTag + ">", unknownGpu = "<gpu " + mTag + ">";
    const std::string resolution = "1x1 " + mTag, system = "Windows " + mTag;
    StoredReport decided = Report("1" + mTag, "AA-" + mTag, "3", "700", unknownCpu);
    StoredReport unrated = Machine("2" + mTag, "Intel Core i7 995X @ 3.60GHz", unknownGpu);
    for (StoredReport* report : {&decided, &unrated}) {
        report->values[static_cast<std::size_t>(ReportField::Resolution)] = resolution;
        report->values[static_cast<std::size_t>(ReportField::Os)] = system;
    }
    unrated.receivedAt += 86400;
    ASSERT_EQ(mStore->Record({decided, unrated}).size(), 2u);
    const SurveyFigures after = mStore->Summarize();

    const struct {
        SurveyList list;
        std::string label;
        std::int64_t added;
    } cases[] = {
        {SurveyList::Levels, "2", 1},
        {SurveyList::Levels, "0", 1},
        {SurveyList::Processors, unknownCpu, 1},
        {SurveyList::Adapters, unknownGpu, 1},
        {SurveyList::Systems, system, 2},
        {SurveyList::Memory, "8 GB", 2},
        {SurveyList::Resolutions, resolution, 2},
        {SurveyList::VideoMemory, "4 GB", 2},
        {SurveyList::Days, "20428", 1},
        {SurveyList::Days, "20429", 1},
        {SurveyList::UnknownProcessors, unknownCpu, 1},
        {SurveyList::UnknownAdapters, unknownGpu, 1},
        {SurveyList::Deciding, "2:cpu", 1},
    };
    std::array<int, kSurveyListCount> checked{};
    for (const auto& [list, label, added] : cases) {
        ++checked[static_cast<std::size_t>(list)];
        EXPECT_EQ(CountIn(after[list], label) - CountIn(mBefore[list], label), added)
            << "list " << static_cast<std::size_t>(list) << ": " << label;
    }
    for (std::size_t list = 0; list < kSurveyListCount; ++list)
        EXPECT_GT(checked[list], 0) << "list " << list << " has no case";
}

TEST_P(ReportStoreTest, OnlyTheIdenticalReportSoonAfterIsAnsweredAsTheFirst)
{
    struct Case {
        const char* name;
        std::int64_t after; // seconds after the first
        std::string gain;   // the second's (another gain: another report of the machine)
        const char* peer;
        bool recorded;
    };
    const Case cases[] = {
        {"at once", 0, "800", "127.0.0.1", true},
        {"from another address", 60, "800", "127.0.0.2", true},
        {"at the end of the window", kRepostSeconds, "800", "127.0.0.1", true},
        {"after the window", kRepostSeconds + 1, "800", "127.0.0.1", false},
        {"before the first", -1, "800", "127.0.0.1", false},
        {"another report of the machine", 0, "790", "127.0.0.1", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string account = std::to_string(++n) + mTag, mac = "AA-" + mTag;
        StoredReport first;
        first.values = SampleValues(account, mac, "800");
        first.receivedAt = 1765000000;
        first.peer = "127.0.0.1";
        StoredReport second = first;
        second.values = SampleValues(account, mac, c.gain);
        second.receivedAt += c.after;
        second.peer = c.peer;
        const RecordOutcome stored = mStore->Record({first}).at(0);
        ASSERT_TRUE(stored.recorded) << c.name;
        const SurveyFigures between = mStore->Summarize();
        const RecordOutcome again = mStore->Record({second}).at(0);
        EXPECT_EQ(again.recorded, c.recorded) << c.name;
        if (c.recorded) {
            EXPECT_EQ(again.rank.total, stored.rank.total) << c.name;
            EXPECT_EQ(again.rank.below, stored.rank.below) << c.name;
        }
        // Counted once whatever the answer.
        EXPECT_EQ(mStore->Summarize().reports, between.reports) << c.name;
    }
}

TEST_P(ReportStoreTest, AFailedTransactionStoresNothingAndTheStoreGoesOn)
{
    if (GetParam() != "postgres")
        GTEST_SKIP() << "SQLite stores any bytes as text instead of failing";
    ASSERT_TRUE(mStore->Record({Report("1" + mTag, "AA-" + mTag, "1", "800")}).at(0).recorded);
    // A sender's address that is not UTF-8 fails the insert in the database.
    StoredReport failing = Report("2" + mTag, "BB-" + mTag, "1", "770");
    failing.peer = "\xFF\xFE";
    EXPECT_THROW(mStore->Record({failing}), std::runtime_error);
    // The connection is usable and nothing of the failed transaction was kept.
    // Gains inside level 1's band, as every stored report's is: the rank counts those alone.
    const auto later = mStore->Record({Report("3" + mTag, "CC-" + mTag, "1", "760"),
                                       Report("2" + mTag, "BB-" + mTag, "1", "770")});
    EXPECT_TRUE(later.at(0).recorded);
    EXPECT_TRUE(later.at(1).recorded);
    EXPECT_EQ(mStore->Summarize().reports - mBefore.reports, 3);
}

TEST_P(ReportStoreTest, AReaderThatStopsLeavesTheNextReadWhole)
{
    mStore->Record({Report("1" + mTag, "AA-" + mTag, "1", "800"),
                    Report("2" + mTag, "AA-" + mTag, "1", "801")});
    std::size_t all = 0;
    mStore->ForEachReport(0, [&](const StoredReport&) { ++all; });
    ASSERT_GE(all, 2u);
    EXPECT_THROW(
        mStore->ForEachReport(0, [](const StoredReport&) { throw std::runtime_error("full"); }),
        std::runtime_error);
    std::size_t again = 0;
    mStore->ForEachReport(0, [&](const StoredReport&) { ++again; });
    EXPECT_EQ(again, all);
}

TEST_P(ReportStoreTest, OnlyNamesNeitherLookUpFindsAreTalliedAndTheTopStaysBounded)
{
    // Unknown names carry the tag, so a shared PostgreSQL database's other rows do not count.
    const std::string zhaoxin = "ZHAOXIN KaiXian KX-U6780A@2.7GHz " + mTag;
    const std::string mooreThreads = "MTT S80 " + mTag;
    std::vector<StoredReport> batch = {
        Machine("1" + mTag, "Intel(R) Core(TM) i7-3970X CPU @ 3.50GHz", "NVIDIA GeForce GTX 690"),
        Machine("2" + mTag, "AMD Ryzen 7 3700X 8-Core Processor      ", "Radeon RX 5700 XT"),
        Machine("3" + mTag, "AMD RYZEN AI MAX+ 395 w/ Radeon 8060S", "Intel? Iris? Xe Graphics"),
        Machine("4" + mTag, zhaoxin, mooreThreads),
        Machine("5" + mTag, zhaoxin, mooreThreads),
        Machine("6" + mTag, "AMD Ryzen 7 3701X 8-Core Processor " + mTag, "NVIDIA GeForce GTX 690"),
    };
    // Forged: every report a name of its own, each longer than any real one.
    for (int i = 0; i < 40; ++i) {
        const std::string forged = "=x" + std::to_string(i) + std::string(200, '=') + mTag;
        batch.push_back(Machine("f" + std::to_string(i) + mTag, forged, forged));
    }
    ASSERT_EQ(mStore->Record(batch).size(), batch.size());

    const SurveyFigures figures = mStore->Summarize();
    for (const auto* list :
         {&figures[SurveyList::UnknownProcessors], &figures[SurveyList::UnknownAdapters]}) {
        EXPECT_EQ(list->size(), 12u) << "the top of 42 names at most";
        for (const Tally& tally : *list) {
            for (std::size_t i = 0; i < 3; ++i)
                for (const ReportField field : {ReportField::Cpu, ReportField::Gpu})
                    EXPECT_NE(tally.label, At(batch[i].values, field)) << "is rated";
        }
    }
    if (GetParam() == "sqlite") {
        EXPECT_EQ(figures[SurveyList::UnknownProcessors].at(0).label, zhaoxin);
        EXPECT_EQ(figures[SurveyList::UnknownProcessors].at(0).count, 2);
        EXPECT_EQ(figures[SurveyList::UnknownAdapters].at(0).label, mooreThreads);
    }
    // The full list: every unknown name once, processors first, each kind most reported first.
    const std::vector<UnknownDevice> all = AllUnknown(*mStore, mTag);
    ASSERT_EQ(all.size(), 2u + 40 + 1 + 40);
    EXPECT_EQ(all.front().kind, "cpu");
    EXPECT_EQ(all.front().tally.label, zhaoxin);
    EXPECT_EQ(all[42].kind, "gpu");
    EXPECT_EQ(all[42].tally.label, mooreThreads);
    EXPECT_EQ(all[42].tally.count, 2);
    std::string csv;
    WriteUnknownDevicesCsv(*mStore, false, [&csv](const std::string& text) { csv += text; });
    EXPECT_NE(csv.find("\r\ncpu,ZHAOXIN KaiXian KX-U6780A@2.7GHz " + mTag + ",2\r\n"),
              std::string::npos);
    EXPECT_NE(csv.find("\r\ngpu,\"'=x"), std::string::npos) << "no forged name starts a formula";
}

// The same machine sent by two accounts, its gain drawn twice (levels 4 and 5 draw it), ranks
// the same: the rank is the server's rating's, never the gain's.
TEST_P(ReportStoreTest, TheSameMachineRanksTheSameWhateverItsGain)
{
    std::vector<StoredReport> batch;
    for (const char* gain : {"510", "549"}) {
        StoredReport report = Report(gain + mTag, "CC-" + mTag, "5", gain, "<cpu " + mTag + ">");
        report.values[static_cast<std::size_t>(ReportField::LogicCoreCount)] = "2"; // scored 600
        batch.push_back(report);
    }
    const auto outcomes = mStore->Record(batch);
    ASSERT_TRUE(outcomes.at(0).recorded && outcomes.at(1).recorded);
    EXPECT_EQ(outcomes[0].rating.level.level, 5);
    EXPECT_EQ(outcomes[0].rank.below, outcomes[1].rank.below);
    EXPECT_EQ(outcomes[0].rank.total, outcomes[1].rank.total);
}

// New tables that know a part: the stored reports are rated again, their old ratings' tallies
// taken back; rating again with the same tables changes nothing.
TEST_P(ReportStoreTest, RatingAgainFollowsNewTables)
{
    const std::string gpu = "<gpu " + mTag + ">";
    StoredReport report = Report("1" + mTag, "DD-" + mTag, "", "0");
    report.values[static_cast<std::size_t>(ReportField::Gpu)] = gpu;
    ASSERT_EQ(mStore->Record({report}).at(0).rating.level.level, 0);
    const auto rateAll = [&](const ServerTables& tables) {
        std::int64_t after = 0;
        while (const auto last = mStore->Rerate(tables, after, 50))
            after = *last;
    };
    rateAll(*CurrentServerTables()); // the other tests' reports, rated by them already
    const SurveyFigures rated = mStore->Summarize();
    EXPECT_EQ(AllUnknown(*mStore, gpu).size(), 1u);
    const auto newer = MakeServerTables(std::string(kShippedCpuTable),
                                        std::string(kShippedGpuTable) + gpu + ":5000\r\n", "newer");
    rateAll(*newer);
    const SurveyFigures after = mStore->Summarize();
    EXPECT_EQ(AllUnknown(*mStore, gpu).size(), 0u) << "a count of 0 is no row";
    EXPECT_EQ(CountIn(after[SurveyList::Levels], "0") - CountIn(rated[SurveyList::Levels], "0"),
              -1);
    // "cpu" scores 6000 by its eight cores: level 2 with the adapter at 5000.
    EXPECT_EQ(CountIn(after[SurveyList::Levels], "2") - CountIn(rated[SurveyList::Levels], "2"), 1);
    EXPECT_EQ(after.reports, rated.reports);
    StoredReport stored;
    mStore->ForEachReport(0, [&](const StoredReport& each) {
        if (At(each.values, ReportField::Gpu) == gpu)
            stored = each;
    });
    EXPECT_TRUE(stored.rated);
    EXPECT_EQ(stored.rating.level.level, 2);
    EXPECT_EQ(stored.rating.level.gpuScore, 5000);
    rateAll(*newer);
    const SurveyFigures again = mStore->Summarize();
    EXPECT_EQ(CountIn(again[SurveyList::Levels], "2"), CountIn(after[SurveyList::Levels], "2"));
    EXPECT_EQ(again.disagreeing, after.disagreeing);
    // Back to the tables in use, for the tests after this one.
    rateAll(*CurrentServerTables());
    EXPECT_EQ(AllUnknown(*mStore, gpu).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportStoreTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

} // namespace
