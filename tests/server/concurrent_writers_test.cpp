// Several writers on one database: the incremental export under their load (a poller pulls the
// reports after the last id it saw, as an operator's job does; every stored report must reach
// it exactly once, whatever order the writers' transactions commit in), and batches of the same
// keys in opposite orders.
#include "server/store/report_store.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <atomic>
#include <cstdlib>
#include <map>
#include <set>

namespace {

struct CursorCase {
    const char* engine;
    int writers;
    std::size_t batch;
};

class ExportCursorTest : public ::testing::TestWithParam<CursorCase> {
  protected:
    void SetUp() override
    {
        if (std::string(GetParam().engine) == "sqlite") {
            mDatabase = FreshSqliteFolder();
        } else if (const char* url = std::getenv("VXM_TEST_POSTGRES_URL")) {
            mDatabase = url;
        } else {
            GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
        }
        mTag = std::to_string(std::random_device{}());
    }
    void TearDown() override
    {
        if (std::string(GetParam().engine) == "sqlite")
            std::filesystem::remove_all(mDatabase);
    }
    // The highest id stored so far (the database may hold other tests' reports).
    std::int64_t LastId(ReportStore& store) const
    {
        std::int64_t last = 0;
        store.ForEachReport(0, [&](const StoredReport& report) { last = report.id; });
        return last;
    }
    std::string mDatabase, mTag;
};

TEST_P(ExportCursorTest, PollerSeesEveryStoredReportOnce)
{
    const CursorCase& c = GetParam();
    auto reader = OpenReportStore(mDatabase);
    const std::int64_t start = LastId(*reader);

    std::atomic<bool> writing{true};
    std::atomic<int> stored{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < c.writers; ++w) {
        writers.emplace_back([&, w] {
            auto store = OpenReportStore(mDatabase);
            for (int b = 0; writing; ++b) {
                std::vector<StoredReport> batch(c.batch);
                for (std::size_t i = 0; i < batch.size(); ++i) {
                    const std::string key =
                        mTag + "-" + std::to_string(w) + "-" + std::to_string(b * 1000 + i);
                    batch[i].values = SampleValues("A" + key, "M" + key);
                    batch[i].peer = "127.0.0.1";
                }
                for (const RecordOutcome& outcome : store->Record(batch))
                    stored += outcome.recorded;
            }
        });
    }

    // Pulls every 20 ms from the last id seen; each pull must rise strictly (numeric id order).
    std::map<std::int64_t, int> pulled;
    std::int64_t cursor = start;
    bool rising = true;
    const auto pull = [&] {
        reader->ForEachReport(cursor, [&](const StoredReport& report) {
            rising = rising && report.id > cursor;
            cursor = report.id;
            if (At(report.values, ReportField::Account).find(mTag) != std::string::npos)
                ++pulled[report.id];
        });
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) {
        pull();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    writing = false;
    for (std::thread& writer : writers)
        writer.join();
    pull();

    // What the table holds now, read in one go after every writer finished.
    std::set<std::int64_t> all;
    reader->ForEachReport(start, [&](const StoredReport& report) {
        if (At(report.values, ReportField::Account).find(mTag) != std::string::npos)
            all.insert(report.id);
    });
    EXPECT_TRUE(rising);
    EXPECT_EQ(all.size(), static_cast<std::size_t>(stored.load()));
    EXPECT_GT(stored.load(), 0);
    std::set<std::int64_t> missed, twice;
    for (const std::int64_t id : all) {
        if (!pulled.count(id))
            missed.insert(id);
    }
    for (const auto& [id, times] : pulled) {
        if (times != 1 || !all.count(id))
            twice.insert(id);
    }
    EXPECT_TRUE(missed.empty()) << missed.size() << " of " << all.size() << " never pulled";
    EXPECT_TRUE(twice.empty()) << twice.size() << " pulled twice or not stored";
}

INSTANTIATE_TEST_SUITE_P(Engines, ExportCursorTest,
                         ::testing::Values(CursorCase{"sqlite", 3, 20},
                                           CursorCase{"postgresql", 1, 20},
                                           CursorCase{"postgresql", 3, 20},
                                           CursorCase{"postgresql", 3, 1}),
                         [](const auto& info) {
                             return std::string(info.param.engine) +
                                    std::to_string(info.param.writers) + "Writers" +
                                    std::to_string(info.param.batch) + "Each";
                         });

// Batches append their tally steps and the page folds them: after writers that ran at once,
// the page's figures and the rank count exactly the rows stored.
TEST_P(ExportCursorTest, FiguresAndRankCountTheRowsAfterConcurrentWriters)
{
    const CursorCase& c = GetParam();
    auto reader = OpenReportStore(mDatabase);
    const auto one = [&](const std::string& name) {
        StoredReport report;
        report.values = SampleValues("A" + mTag + name, "M" + mTag + name);
        return reader->Record({report}).at(0);
    };
    const std::int64_t ranked = one("-first").rank.total;
    const SurveyFigures before = reader->Summarize();
    const std::int64_t start = LastId(*reader);
    std::atomic<int> stored{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < c.writers; ++w) {
        writers.emplace_back([&, w] {
            auto store = OpenReportStore(mDatabase);
            for (int b = 0; b < 10; ++b) {
                std::vector<StoredReport> batch(c.batch);
                for (std::size_t i = 0; i < batch.size(); ++i) {
                    const std::string key =
                        mTag + "-" + std::to_string(w) + "-" + std::to_string(b * 1000 + i);
                    batch[i].values = SampleValues("A" + key, "M" + key);
                }
                for (const RecordOutcome& outcome : store->Record(batch))
                    stored += outcome.recorded;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    std::int64_t rows = 0;
    reader->ForEachReport(start, [&](const StoredReport&) { ++rows; });
    const SurveyFigures after = reader->Summarize();
    EXPECT_EQ(stored.load(), c.writers * 10 * static_cast<int>(c.batch));
    EXPECT_EQ(after.reports - before.reports, rows);
    EXPECT_EQ(after.machines - before.machines, rows);
    // One more report's rank counts every gain stored since the first (all allowed here).
    const RecordOutcome last = one("-last");
    ASSERT_TRUE(last.recorded);
    EXPECT_EQ(last.rank.total, ranked + stored + 1);
}

TEST(ConcurrentWriters, BatchesOfTheSameKeysInOppositeOrdersBothComplete)
{
    const char* url = std::getenv("VXM_TEST_POSTGRES_URL");
    if (!url)
        GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
    const std::string tag = std::to_string(std::random_device{}());
    auto first = OpenReportStore(url), second = OpenReportStore(url);
    for (int round = 0; round < 10; ++round) {
        // The same accounts and MACs, the second's reports of another gain (not second posts).
        std::vector<StoredReport> forward(30), backward;
        for (std::size_t i = 0; i < forward.size(); ++i) {
            const std::string key = tag + "-" + std::to_string(round) + "-" + std::to_string(i);
            forward[i].values = SampleValues("A" + key, "M" + key, "800");
            backward.insert(backward.begin(), forward[i]);
            backward.front().values = SampleValues("A" + key, "M" + key, "790");
        }
        std::atomic<int> ready{0};
        std::vector<RecordOutcome> outcomes[2];
        std::string failures[2];
        const auto run = [&](ReportStore& store, const std::vector<StoredReport>& batch, int i) {
            ++ready;
            while (ready < 2) {
            }
            try {
                outcomes[i] = store.Record(batch);
            } catch (const std::exception& e) {
                failures[i] = e.what();
            }
        };
        std::thread a(run, std::ref(*first), std::cref(forward), 0);
        std::thread b(run, std::ref(*second), std::cref(backward), 1);
        a.join();
        b.join();
        ASSERT_EQ(failures[0] + failures[1], "") << "round " << round;
        // Each key recorded by exactly one of the two.
        for (std::size_t i = 0; i < forward.size(); ++i)
            EXPECT_NE(outcomes[0].at(i).recorded, outcomes[1].at(forward.size() - 1 - i).recorded)
                << "round " << round << " key " << i;
    }
}

} // namespace
