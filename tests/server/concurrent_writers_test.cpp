// Several writers on one database: the incremental export under their load (a poller pulls the
// reports after the last id it saw, as an operator's job does; every stored report must reach
// it exactly once, whatever order the writers' transactions commit in), and batches of the same
// keys in opposite orders; on PostgreSQL each writer keeps tally rows of its own.
#include "server/store/report_store.hpp"
#include "server/store/tally_writers.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <libpq-fe.h>

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

// Each writer adds to tally rows of its own and the page sums them: after writers that ran at
// once, the page's figures and the rank count exactly the rows stored.
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

// A connection of the test cluster outside the stores, for what they do not show.
class RawConnection {
  public:
    explicit RawConnection(const char* url) : mConn(PQconnectdb(url))
    {
        if (PQstatus(mConn) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(mConn));
        PQsetNoticeProcessor(
            mConn, [](void*, const char*) {}, nullptr);
    }
    ~RawConnection() { PQfinish(mConn); }
    // The first column of the first row, or "" for a statement that returns none.
    std::string Value(const std::string& sql)
    {
        PGresult* result = PQexec(mConn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        const std::string value =
            status == PGRES_TUPLES_OK && PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
        const std::string error = PQresultErrorMessage(result);
        PQclear(result);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            throw std::runtime_error(sql + ": " + error);
        return value;
    }

  private:
    PGconn* mConn;
};

class TallyWritersTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        mUrl = std::getenv("VXM_TEST_POSTGRES_URL");
        if (!mUrl)
            GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
        // The tables, for a cluster no test has opened yet.
        OpenReportStore(mUrl);
    }
    const char* mUrl = nullptr;
};

// Connections at once hold distinct numbers within the bound; a number given up is the next
// one's (a process restarted takes its rows again); with every number held a connection still
// gets one within the bound.
TEST_F(TallyWritersTest, ConnectionsClaimDistinctNumbersWithinTheBound)
{
    const auto number = [](RawConnection& conn) { return std::stoi(conn.Value(kClaimWriterSql)); };
    RawConnection first(mUrl), second(mUrl), third(mUrl);
    // The stores of earlier tests end their connections; the database frees their numbers a
    // moment later.
    for (int i = 0;
         i < 50 && first.Value("SELECT count(*) FROM pg_locks WHERE locktype = "
                               "'advisory' AND classid = 7312018 AND objsubid = 2") != "0";
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int numbers[] = {number(first), number(second), number(third)};
    EXPECT_EQ(std::set<int>(std::begin(numbers), std::end(numbers)).size(), 3u);
    for (const int n : numbers) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, kTallyWriters);
    }
    // Given up as a connection's end gives it up (which the database notices a moment later).
    second.Value("SELECT pg_advisory_unlock_all()");
    RawConnection next(mUrl);
    EXPECT_EQ(number(next), numbers[1]);

    // The numbers the connections above do not hold, all taken.
    RawConnection holder(mUrl), late(mUrl);
    holder.Value("SELECT count(pg_try_advisory_lock(7312018, s)) FROM generate_series(1, " +
                 std::to_string(kTallyWriters) + ") AS s");
    const int shared = number(late);
    EXPECT_GE(shared, 1);
    EXPECT_LE(shared, kTallyWriters);
}

// A batch's tallies do not wait for another writer's transaction that holds its own tally rows
// (before writers kept rows apart, every batch waited here for the row of the reports' count).
TEST_F(TallyWritersTest, ABatchDoesNotWaitForAnotherWritersOpenTransaction)
{
    auto store = OpenReportStore(mUrl);
    RawConnection other(mUrl);
    const std::string writer = other.Value(kClaimWriterSql);
    other.Value("BEGIN");
    other.Value(
        "INSERT INTO writer_tallies (writer, dimension, label, n, gained, gain_sum) VALUES "
        "(" +
        writer +
        ", 'reports', '', 0, 0, 0) ON CONFLICT (dimension, label, writer) DO UPDATE SET n = "
        "writer_tallies.n");
    const std::string tag = std::to_string(std::random_device{}());
    StoredReport report;
    report.values = SampleValues("A" + tag, "M" + tag);
    std::vector<RecordOutcome> outcomes;
    EXPECT_NO_THROW(outcomes = store->Record({report}));
    other.Value("ROLLBACK");
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].recorded);
}

// A writer's rows go to the tallies with its first batch and then about once a second; the sums
// stay whatever has moved.
TEST_F(TallyWritersTest, AWritersRowsMoveToTheTalliesWithTheSumsKept)
{
    auto store = OpenReportStore(mUrl);
    RawConnection raw(mUrl);
    const std::string tag = std::to_string(std::random_device{}());
    const std::string processor = "Processor " + tag;
    // Rows of the processor's tally: "t" for the tallies', "w" for a writer's, with counts.
    const std::string where =
        " WHERE dimension = 'cpu' AND label = convert_to('" + processor + "', 'UTF8')";
    const std::string both = "(SELECT 0 AS writer, n FROM tallies" + where +
                             " UNION ALL SELECT writer, n FROM writer_tallies" + where +
                             ") AS rows";
    const auto rows = [&] {
        return raw.Value("SELECT string_agg(CASE WHEN writer = 0 THEN 't' ELSE 'w' END || n, ',' "
                         "ORDER BY writer) FROM " +
                         both);
    };
    const auto sum = [&] { return raw.Value("SELECT sum(n) FROM " + both); };
    const auto record = [&](int i) {
        StoredReport report;
        report.values = SampleValues("A" + tag + "-" + std::to_string(i), "M" + tag);
        report.values[static_cast<std::size_t>(ReportField::Cpu)] = processor;
        report.values[static_cast<std::size_t>(ReportField::Token)] = "";
        report.values[static_cast<std::size_t>(ReportField::Token)] =
            ComputeReportToken(report.values);
        ASSERT_TRUE(store->Record({report}).at(0).recorded) << i;
    };
    record(1);
    EXPECT_EQ(rows(), "t1") << "moved with the connection's first batch";
    record(2);
    EXPECT_EQ(sum(), "2") << rows();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    record(3);
    EXPECT_EQ(rows(), "t3");
}

} // namespace
