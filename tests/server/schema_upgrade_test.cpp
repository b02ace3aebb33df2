// Databases of every earlier schema, built by the schema steps themselves and filled as the
// builds of their time left them, open with page figures equal to a count of their reports, on
// both engines; a database at the latest version is taken by its version alone.
#include "server/store/schema_upgrade.hpp"
#include "server/store/tally_rebuild.hpp"
#include "server/store/report_store.hpp"
#include "server/store/tally_rebuild.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (const unsigned char c : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", c);
        hex += digits;
    }
    return hex;
}

// A database reached through its engine's own client library, as the steps and the builds of
// each time wrote to it.
class RawDatabase : public SchemaSession {
  public:
    virtual const SqlDialect& Dialect() const = 0;
    // What OpenReportStore takes to open the same database.
    virtual std::string Name() const = 0;
    virtual std::string BytesLiteral(const std::string& bytes) const = 0;
    void AddTallies(const TallyChanges& changes) override
    {
        for (const auto& [key, step] : changes)
            Execute(AddTallySql("VALUES ('" + key.first + "', " + BytesLiteral(key.second) + ", " +
                                std::to_string(step.count) + ", " + std::to_string(step.gained) +
                                ", " + std::to_string(step.gainSum) + ")"));
    }
};

class RawSqlite : public RawDatabase {
  public:
    RawSqlite() : mFolder(FreshSqliteFolder())
    {
        std::filesystem::create_directories(mFolder);
        if (sqlite3_open((mFolder + "/reports.sqlite3").c_str(), &mDb) != SQLITE_OK)
            throw std::runtime_error("cannot open a test database in " + mFolder);
    }
    ~RawSqlite() override
    {
        sqlite3_close(mDb);
        std::filesystem::remove_all(mFolder);
    }
    const SqlDialect& Dialect() const override { return kSqliteDialect; }
    std::string Name() const override { return mFolder; }
    std::string BytesLiteral(const std::string& bytes) const override
    {
        return "X'" + Hex(bytes) + "'";
    }
    void Execute(const std::string& sql) override
    {
        char* error = nullptr;
        if (sqlite3_exec(mDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(sql + ": " + message);
        }
    }
    ResultRows Query(const std::string& sql) override
    {
        ResultRows rows;
        const auto collect = [](void* out, int columns, char** values, char**) {
            ResultRow row;
            for (int i = 0; i < columns; ++i)
                row.push_back(values[i] ? values[i] : "");
            static_cast<ResultRows*>(out)->push_back(row);
            return 0;
        };
        if (sqlite3_exec(mDb, sql.c_str(), collect, &rows, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(mDb));
        return rows;
    }

  private:
    std::string mFolder;
    sqlite3* mDb = nullptr;
};

// A schema of its own in the test cluster, named in the connection's search path.
class RawPostgres : public RawDatabase {
  public:
    explicit RawPostgres(const std::string& url)
    {
        static std::mt19937_64 random{std::random_device{}()};
        mSchema = "upgrade_" + std::to_string(random() % 1000000000);
        mUrl = url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
               mSchema;
        mConn = PQconnectdb(url.c_str());
        if (PQstatus(mConn) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(mConn));
        PQsetNoticeProcessor(
            mConn, [](void*, const char*) {}, nullptr);
        Execute("CREATE SCHEMA " + mSchema + "; SET search_path TO " + mSchema);
    }
    ~RawPostgres() override
    {
        PQclear(PQexec(mConn, ("DROP SCHEMA " + mSchema + " CASCADE").c_str()));
        PQfinish(mConn);
    }
    const SqlDialect& Dialect() const override { return kPostgresDialect; }
    std::string Name() const override { return mUrl; }
    std::string BytesLiteral(const std::string& bytes) const override
    {
        return "'\\x" + Hex(bytes) + "'::bytea";
    }
    // Several statements at once, as the transaction's opening is.
    void Execute(const std::string& sql) override { Check(PQexec(mConn, sql.c_str()), sql); }
    // Byte columns as their bytes (the binary result format); the queries cast numbers to text.
    ResultRows Query(const std::string& sql) override
    {
        return Check(PQexecParams(mConn, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 1),
                     sql);
    }

  private:
    static ResultRows Check(PGresult* result, const std::string& sql)
    {
        const ExecStatusType status = PQresultStatus(result);
        ResultRows rows(PQntuples(result));
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (int c = 0; c < PQnfields(result); ++c)
                rows[r].emplace_back(PQgetvalue(result, r, c), PQgetlength(result, r, c));
        const std::string error = PQresultErrorMessage(result);
        PQclear(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(sql + ": " + error);
        return rows;
    }

    std::string mSchema, mUrl;
    PGconn* mConn = nullptr;
};

// Reports of many kinds: machines reported by two accounts, rated and unknown devices, video
// memory on both sides of 4 GiB, systems by their texts, reports with no gain, several days.
std::vector<StoredReport> MixedReports()
{
    const char* processors[] = {"Intel(R) Core(TM) i7-3970X CPU @ 3.50GHz",
                                "ZHAOXIN KaiXian KX-6640MA@2.2GHz", "AMD Ryzen 7 3700X"};
    const char* adapters[] = {"NVIDIA GeForce GTX 690", "MTT S80", "Radeon RX 5700 XT"};
    const char* videoMemory[] = {"4095.00 MB", "12288.00 MB", "2048.00 MB", "8192.00 MB"};
    const char* systems[] = {"Windows 6.1, SP 1.0", "Windows 10.0, SP 0.0", "Windows 6.1, SP 0.0"};
    const char* gains[] = {"801", "0", "", "612", "940"};
    std::vector<StoredReport> reports;
    for (int i = 0; i < 30; ++i) {
        StoredReport report;
        report.values = SampleValues(std::to_string(100000 + i),
                                     "00-1A-2B-3C-4D-" + std::to_string(10 + i % 20), gains[i % 5]);
        const auto set = [&](ReportField field, const char* text) {
            report.values[static_cast<std::size_t>(field)] = text;
        };
        set(ReportField::Cpu, processors[i % 3]);
        set(ReportField::Gpu, adapters[i % 3 == 0 ? 0 : i % 2 + 1]);
        set(ReportField::TotalVideoMem, videoMemory[i % 4]);
        set(ReportField::Os, systems[i % 3]);
        set(ReportField::LevelCode, std::to_string(1 + i % 5).c_str());
        report.receivedAt = 1765000000 + i * 30000;
        report.peer = "127.0.0." + std::to_string(1 + i % 7);
        reports.push_back(report);
    }
    return reports;
}

// Stores the reports as the builds of `version`'s time did: the rows, the machines seen, and
// tallies kept by rules since changed (systems and video memory by their texts, ranks by every
// gain) that count only some of the reports.
void FillAsBuildsOfTheirTime(RawDatabase& db, std::size_t version,
                             const std::vector<StoredReport>& reports)
{
    for (const StoredReport& report : reports) {
        const auto gain = GainOf(report.values);
        std::string values = std::to_string(report.receivedAt) + ", '" + report.peer + "', " +
                             (gain ? std::to_string(*gain) : "NULL");
        for (const std::string& value : report.values)
            values += ", " + db.BytesLiteral(value);
        db.Execute(InsertReportSql("VALUES (" + values + ")"));
        if (version >= 2)
            db.Execute("INSERT INTO machines (mc) VALUES (" +
                       db.BytesLiteral(At(report.values, ReportField::Mac)) +
                       ") ON CONFLICT (mc) DO NOTHING");
    }
    if (version == 1) {
        db.Execute("INSERT INTO gain_counts (gain, n) VALUES (801, 6), (0, 6)");
        return;
    }
    // From the schema version on, the builds counted as the reports make them, with the tables
    // in use.
    if (version >= 6) {
        RebuildTallies(db, db.Dialect(), {kEveryTally}, version);
        return;
    }
    const struct {
        const char* dimension;
        std::string label;
        int count;
    } stale[] = {{"reports", "", 12},       {"machines", "", 5}, {"os", "Windows 6.1, SP 1.0", 4},
                 {"vram", "4095.00 MB", 3}, {"gain", "801", 6},  {"level", "1", 2},
                 {"vram_band", "4 GB", 1}};
    for (const auto& row : stale)
        db.Execute(std::string("INSERT INTO tallies VALUES ('") + row.dimension + "', " +
                   db.BytesLiteral(row.label) + ", " + std::to_string(row.count) + ", 0, 0)");
    // The build that made these tallies filled them on its first opening.
    if (version == 5)
        db.Execute("INSERT INTO tallies VALUES ('cpu_unknown', " +
                   db.BytesLiteral("ZHAOXIN KaiXian KX-6640MA@2.2GHz") + ", 1, 0, 0)");
}

void ExpectSameTallies(const std::vector<Tally>& actual, const std::vector<Tally>& expected,
                       const std::string& list)
{
    ASSERT_EQ(actual.size(), expected.size()) << list;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].label, expected[i].label) << list;
        EXPECT_EQ(actual[i].count, expected[i].count) << list << " " << expected[i].label;
        EXPECT_DOUBLE_EQ(actual[i].averageGain, expected[i].averageGain)
            << list << " " << expected[i].label;
    }
}

void ExpectSameFigures(const SurveyFigures& actual, const SurveyFigures& expected)
{
    EXPECT_EQ(actual.reports, expected.reports);
    EXPECT_EQ(actual.machines, expected.machines);
    // Every list, by its place in the figures.
    for (std::size_t list = 0; list < kSurveyListCount; ++list)
        ExpectSameTallies(actual.lists[list], expected.lists[list], "list " + std::to_string(list));
    EXPECT_EQ(actual.disagreeing, expected.disagreeing);
}

// Rates the stored reports that the tables in use have not rated, as the server's writer does
// after opening.
void RateStored(ReportStore& store)
{
    std::int64_t after = 0;
    while (const auto last = store.Rerate(*CurrentServerTables(), after, 7))
        after = *last;
}

std::int64_t Sum(const std::vector<Tally>& tallies)
{
    std::int64_t sum = 0;
    for (const Tally& tally : tallies)
        sum += tally.count;
    return sum;
}

class SchemaUpgradeTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override
    {
        if (GetParam() == "postgres" && !std::getenv("VXM_TEST_POSTGRES_URL"))
            GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
    }
    std::unique_ptr<RawDatabase> NewDatabase() const
    {
        if (GetParam() == "sqlite")
            return std::make_unique<RawSqlite>();
        return std::make_unique<RawPostgres>(std::getenv("VXM_TEST_POSTGRES_URL"));
    }
    // The page of the reports recorded one by one into a new database.
    SurveyFigures RecordedFresh(const std::vector<StoredReport>& reports) const
    {
        const std::unique_ptr<RawDatabase> db = NewDatabase();
        const auto store = OpenReportStore(db->Name());
        store->Record(reports);
        return store->Summarize();
    }
};

// Every schema shipped before versions were stored: recognised by its tables, upgraded once,
// and its figures counted from its reports (video memory included).
TEST_P(SchemaUpgradeTest, EveryEarlierSchemaOpensWithFiguresCountedFromItsReports)
{
    const std::vector<StoredReport> reports = MixedReports();
    const SurveyFigures expected = RecordedFresh(reports);
    ASSERT_EQ(expected.reports, 30);
    ASSERT_EQ(expected.machines, 20);
    const std::size_t latest = SchemaSteps().size();
    // Version 6 made the table that holds the version: every later one stores it.
    for (std::size_t version = 1; version < 6; ++version) {
        SCOPED_TRACE("schema version " + std::to_string(version));
        const std::unique_ptr<RawDatabase> db = NewDatabase();
        UpgradeSchema(*db, db->Dialect(), version);
        db->Execute("DROP TABLE schema_version");
        FillAsBuildsOfTheirTime(*db, version, reports);

        testing::internal::CaptureStderr();
        auto store = OpenReportStore(db->Name());
        const std::string log = testing::internal::GetCapturedStderr();
        // The reports are rated after the opening: until then no level is counted.
        EXPECT_EQ(Sum(store->Summarize()[SurveyList::Levels]), 0);
        RateStored(*store);
        SurveyFigures figures = store->Summarize();
        store.reset();
        ExpectSameFigures(figures, expected);
        EXPECT_EQ(Sum(figures[SurveyList::Levels]), 30);
        EXPECT_EQ(Sum(figures[SurveyList::VideoMemory]), 30);
        EXPECT_EQ(db->Query("SELECT CAST(count(DISTINCT mc) AS TEXT) FROM machines").at(0).at(0),
                  "20");
        EXPECT_NE(log.find("what=\"taken for version " + std::to_string(version) + "\""),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("what=\"version " + std::to_string(latest) + " of "), std::string::npos)
            << log;
        EXPECT_NE(log.find("what=\"counted every tally\" reason=\"from 30 reports"),
                  std::string::npos)
            << log;
        EXPECT_EQ(db->Query("SELECT CAST(version AS TEXT) FROM schema_version"),
                  ResultRows{{std::to_string(latest)}});

        // Once upgraded, opening again changes nothing and says nothing.
        testing::internal::CaptureStderr();
        figures = OpenReportStore(db->Name())->Summarize();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ExpectSameFigures(figures, expected);
    }
}

// A database that stored its version runs only the steps after it, each said as it runs.
TEST_P(SchemaUpgradeTest, AStoredVersionRunsOnlyTheStepsAfterIt)
{
    const std::size_t latest = SchemaSteps().size();
    const struct {
        std::size_t stored;
        std::vector<std::size_t> run;
    } cases[] = {
        {0, {}}, // a new database runs every step
        {latest - 2, {latest - 1, latest}},
        {latest - 1, {latest}},
    };
    const std::vector<StoredReport> reports = MixedReports();
    const SurveyFigures expected = RecordedFresh(reports);
    for (const auto& c : cases) {
        SCOPED_TRACE("stored version " + std::to_string(c.stored));
        const std::unique_ptr<RawDatabase> db = NewDatabase();
        std::vector<std::size_t> run = c.run;
        if (c.stored == 0)
            for (std::size_t version = 1; version <= latest; ++version)
                run.push_back(version);
        testing::internal::CaptureStderr();
        if (c.stored > 0) {
            UpgradeSchema(*db, db->Dialect(), c.stored);
            FillAsBuildsOfTheirTime(*db, c.stored, reports);
            testing::internal::GetCapturedStderr();
            testing::internal::CaptureStderr();
        }
        const auto store = OpenReportStore(db->Name());
        const std::string log = testing::internal::GetCapturedStderr();
        for (std::size_t version = 1; version <= latest; ++version) {
            const bool ran = std::find(run.begin(), run.end(), version) != run.end();
            EXPECT_EQ(log.find("what=\"version " + std::to_string(version) + " of ") !=
                          std::string::npos,
                      ran)
                << version << "\n"
                << log;
        }
        EXPECT_EQ(log.find("taken for version"), std::string::npos) << log;
        RateStored(*store);
        if (c.stored > 0)
            ExpectSameFigures(store->Summarize(), expected);
        else
            EXPECT_EQ(store->Summarize().reports, 0);
    }
}

// A step recounts only the tallies it makes new: the unknown devices' step leaves the others as
// the database held them.
TEST_P(SchemaUpgradeTest, AStepCountsOnlyTheTalliesItMakesNew)
{
    const std::vector<StoredReport> reports = MixedReports();
    const SurveyFigures expected = RecordedFresh(reports);
    ASSERT_GT(Sum(expected[SurveyList::UnknownProcessors]), 0);
    ASSERT_GT(Sum(expected[SurveyList::UnknownAdapters]), 0);
    const std::unique_ptr<RawDatabase> db = NewDatabase();
    const std::size_t unknownDevices = 5;
    ASSERT_EQ(SchemaSteps().at(unknownDevices - 1).newTallies,
              (std::vector<std::string>{"cpu_unknown", "gpu_unknown"}));
    UpgradeSchema(*db, db->Dialect(), unknownDevices - 1);
    FillAsBuildsOfTheirTime(*db, unknownDevices - 1, reports);
    testing::internal::CaptureStderr();
    UpgradeSchema(*db, db->Dialect(), unknownDevices);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("what=\"counted cpu_unknown, gpu_unknown\" reason=\"from 30 reports"),
              std::string::npos)
        << log;
    const auto counted = [&](const char* dimension) {
        return db->Query("SELECT CAST(sum(n) AS TEXT), CAST(count(*) AS TEXT) FROM tallies WHERE "
                         "dimension = '" +
                         std::string(dimension) + "'");
    };
    EXPECT_EQ(counted("cpu_unknown"),
              (ResultRows{{std::to_string(Sum(expected[SurveyList::UnknownProcessors])),
                           std::to_string(expected[SurveyList::UnknownProcessors].size())}}));
    EXPECT_EQ(counted("gpu_unknown"),
              (ResultRows{{std::to_string(Sum(expected[SurveyList::UnknownAdapters])),
                           std::to_string(expected[SurveyList::UnknownAdapters].size())}}));
    EXPECT_EQ(counted("reports"), (ResultRows{{"12", "1"}})) << "left as it was";
}

// Counted again a few reports at a time, the recorded reports give the figures they gave when
// recorded: each counted once, in id order past ten ("10" sorts before "9" as text), whatever
// the batch's size against the number of reports.
TEST_P(SchemaUpgradeTest, TalliesCountedInBatchesCountEveryReportOnce)
{
    const std::vector<StoredReport> reports = MixedReports();
    const SurveyFigures expected = RecordedFresh(reports);
    for (const std::size_t batch : {7u, 30u, 31u}) {
        SCOPED_TRACE("batches of " + std::to_string(batch));
        const std::unique_ptr<RawDatabase> db = NewDatabase();
        OpenReportStore(db->Name())->Record(reports);
        EXPECT_EQ(RebuildTallies(*db, db->Dialect(), {kEveryTally}, SchemaSteps().size(), batch),
                  30);
        ExpectSameFigures(OpenReportStore(db->Name())->Summarize(), expected);
    }
}

// At the latest version nothing of the data is looked at: tallies an operator changed by hand
// stay as they are, and nothing is said.
TEST_P(SchemaUpgradeTest, TheLatestVersionIsTakenWithoutLookingAtTheData)
{
    const std::unique_ptr<RawDatabase> db = NewDatabase();
    OpenReportStore(db->Name());
    db->Execute("INSERT INTO tallies VALUES ('reports', " + db->BytesLiteral("") + ", 41, 0, 0)");
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenReportStore(db->Name())->Summarize().reports, 41);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A database a newer server upgraded is refused, and left as it was.
TEST_P(SchemaUpgradeTest, ANewerVersionIsRefused)
{
    const std::unique_ptr<RawDatabase> db = NewDatabase();
    OpenReportStore(db->Name());
    const std::string newer = std::to_string(SchemaSteps().size() + 1);
    db->Execute("UPDATE schema_version SET version = " + newer);
    try {
        OpenReportStore(db->Name());
        ADD_FAILURE() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("schema version is " + newer), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(db->Query("SELECT CAST(version AS TEXT) FROM schema_version"), ResultRows{{newer}});
}

INSTANTIATE_TEST_SUITE_P(Engines, SchemaUpgradeTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

} // namespace
