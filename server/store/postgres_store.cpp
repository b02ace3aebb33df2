// The shared engine: a PostgreSQL database that several server processes may use at once.
// Uniqueness is the database's (a unique index), so concurrent servers record a report once.
#include "server/monitor/event_log.hpp"
#include "server/store/postgres_deadline.hpp"
#include "server/store/report_store.hpp"
#include "server/store/schema_upgrade.hpp"
#include "server/store/store_schema.hpp"
#include "server/store/tally_writers.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <exception>
#include <utility>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Whether the failure is a prepared statement missing, or already there: a pool gave the
// transaction another session than the one the statement was prepared on.
bool IsOtherSession(const PGresult* result)
{
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return state && (std::string(state) == "26000" || std::string(state) == "42P05");
}

// The name a statement is prepared under: its text's digest in it, so that a session a pool
// shares never runs another build's statement of the same name.
std::string PreparedName(const std::string& name, const std::string& sql)
{
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016zx", std::hash<std::string>{}(sql));
    return "vxm_" + name + "_" + digest;
}

// Values of one statement: text parameters, or bytes sent in binary form.
struct Parameters {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    void Text(const std::string* text)
    {
        values.push_back(text ? text->c_str() : nullptr);
        lengths.push_back(0);
        formats.push_back(0);
    }
    void Bytes(const std::string& bytes)
    {
        values.push_back(bytes.data());
        lengths.push_back(static_cast<int>(bytes.size()));
        formats.push_back(1);
    }
};

// One-dimensional array parameters in the binary form: a header, then each element's length
// and bytes (length -1: NULL). A batch's rows go to the database as one array per column.
constexpr std::uint32_t kByteaOid = 17, kInt8Oid = 20, kTextOid = 25;

void PutBigEndian(std::string& out, std::uint64_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift & 0xFF);
}

// The values a batch's columns point at, made while its rows are read: a deque keeps each where it
// is as more are added, so the pointers taken stay good.
using ColumnValues = std::deque<std::string>;

std::string BinaryArray(std::uint32_t elementOid, const std::vector<const std::string*>& elements)
{
    std::string array;
    PutBigEndian(array, 1, 4); // dimensions
    const bool nulls = std::find(elements.begin(), elements.end(), nullptr) != elements.end();
    PutBigEndian(array, nulls, 4);
    PutBigEndian(array, elementOid, 4);
    PutBigEndian(array, elements.size(), 4);
    PutBigEndian(array, 1, 4); // lower bound
    for (const std::string* element : elements) {
        PutBigEndian(array, element ? element->size() : 0xFFFFFFFFu, 4);
        if (element)
            array += *element;
    }
    return array;
}

// An int8 element's bytes.
std::string Int8Bytes(std::int64_t value)
{
    std::string bytes;
    PutBigEndian(bytes, static_cast<std::uint64_t>(value), 8);
    return bytes;
}

// The unnest of one array parameter per column, typed: "unnest($1::int8[], $2::text[], ...)".
std::string UnnestSql(const std::vector<const char*>& types)
{
    std::string sql = "unnest(";
    for (std::size_t i = 0; i < types.size(); ++i)
        sql += (i ? ", $" : "$") + std::to_string(i + 1) + "::" + types[i] + "[]";
    return sql + ")";
}

// The tally steps as the five array parameters of "add_tallies", in key order (see
// TallyChanges). The parameters point into `arrays`.
Parameters TallyParameters(const TallyChanges& changes, std::vector<std::string>& arrays)
{
    ColumnValues numbers;
    std::vector<std::vector<const std::string*>> columns(5);
    for (const auto& [key, step] : changes) {
        columns[0].push_back(&key.first);
        columns[1].push_back(&key.second);
        const std::int64_t counts[] = {step.count, step.gained, step.gainSum};
        for (std::size_t i = 0; i < 3; ++i) {
            numbers.push_back(Int8Bytes(counts[i]));
            columns[2 + i].push_back(&numbers.back());
        }
    }
    arrays = {BinaryArray(kTextOid, columns[0]), BinaryArray(kByteaOid, columns[1])};
    for (std::size_t i = 2; i < 5; ++i)
        arrays.push_back(BinaryArray(kInt8Oid, columns[i]));
    Parameters parameters;
    for (const std::string& array : arrays)
        parameters.Bytes(array);
    return parameters;
}

// A statement that must succeed within `wait`; throws with the server's message otherwise.
Result Command(PGconn* conn, const char* sql, std::chrono::milliseconds wait = AnswerWait())
{
    if (!PQsendQuery(conn, sql))
        throw std::runtime_error(std::string("postgresql: ") + PQerrorMessage(conn));
    Result result(LastResult(conn, std::chrono::steady_clock::now() + wait));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(std::string("postgresql: ") + PQresultErrorMessage(result.get()));
    return result;
}

// Text and bytea columns come back as raw bytes in the binary result format.
ResultRows RowsOf(const PGresult* result)
{
    ResultRows rows(PQntuples(result));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r].resize(PQnfields(result));
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            rows[r][c].assign(PQgetvalue(result, r, c), PQgetlength(result, r, c));
    }
    return rows;
}

// Runs `sql` with the parameters, results in the binary format; throws on failure, or when no
// answer came within `wait`.
Result Executed(PGconn* conn, const std::string& sql, const Parameters& parameters,
                std::chrono::milliseconds wait = AnswerWait())
{
    if (!PQsendQueryParams(conn, sql.c_str(), static_cast<int>(parameters.values.size()), nullptr,
                           parameters.values.data(), parameters.lengths.data(),
                           parameters.formats.data(), 1))
        throw std::runtime_error(std::string("postgresql: ") + PQerrorMessage(conn));
    Result result(LastResult(conn, std::chrono::steady_clock::now() + wait));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error("postgresql: " + std::string(PQresultErrorMessage(result.get())));
    return result;
}

// Writers hold this lock shared from before they take ids until they commit; an export takes it
// alone for a moment to learn the highest id below which every report has committed. Ids are
// drawn in one order and committed in another, and a cursor past an id still in flight would
// skip that report for good. (Any key but the upgrade's.)
constexpr char kWritingLockSql[] = "SELECT pg_advisory_xact_lock_shared(7312017)";
constexpr char kCommittedBoundSql[] = "SELECT pg_advisory_xact_lock(7312017)";
constexpr char kHighestIdSql[] = "SELECT CAST(coalesce(max(id), 0) AS TEXT) FROM reports";
// Where the primary's log ends once those commits are in it, and whether a read database has
// replayed that far (one that is not a standby has nothing to replay: it is the primary).
constexpr char kLogEndSql[] = "SELECT CAST(pg_current_wal_insert_lsn() AS TEXT)";
constexpr char kReplayedSql[] = "SELECT coalesce(pg_last_wal_replay_lsn() >= $1::pg_lsn, true)";
// How long an export waits for a standby to replay the commits it will export, and how often it
// looks.
constexpr std::chrono::seconds kReplayWait{10};
constexpr std::chrono::milliseconds kReplayPoll{20};
constexpr char kIdentitySql[] = "SELECT CAST(system_identifier AS TEXT) || ' ' || "
                                "current_database() FROM pg_control_system()";

// An export reads this many rows a statement, from the primary key onwards.
constexpr int kExportRows = 1000;

// How long after a batch began its commit may still be taken, by the database's clock, and how
// much longer it is waited for (clocks of two machines differ a little).
constexpr std::chrono::milliseconds kCommitWithin{4000};
constexpr std::chrono::milliseconds kCommitGuardMargin{1000};

// A statement that fails (division by zero) once the database's clock has passed `by`.
std::string CommitGuardSql(std::chrono::system_clock::time_point by)
{
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(by.time_since_epoch()).count();
    return "SELECT 1 / CAST(clock_timestamp() < to_timestamp(" + std::to_string(micros / 1000000) +
           "." + std::to_string(1000000 + micros % 1000000).substr(1) + ") AS INT)";
}

// The upsert of tally steps given as five arrays into the tallies, and into the rows of the
// writer given sixth.
const std::string kTallyStepsSql =
    "SELECT * FROM " + UnnestSql({"text", "bytea", "int8", "int8", "int8"});
const std::string kAddTalliesSql = AddTallySql(kTallyStepsSql);
const std::string kAddWriterTalliesSql =
    "INSERT INTO writer_tallies (dimension, label, n, gained, gain_sum, writer) SELECT *, $6::int8 "
    "FROM (" +
    kTallyStepsSql +
    ") AS steps ON CONFLICT (dimension, label, writer) DO UPDATE SET n = writer_tallies.n + "
    "excluded.n, gained = writer_tallies.gained + excluded.gained, gain_sum = "
    "writer_tallies.gain_sum + excluded.gain_sum";

// Moves the rows of writer $1 to the tallies, unless another writer is moving its own: one at a
// time, so that the tallies wait for no one (a rating's update takes the lock too).
constexpr char kTakeMoverSql[] = "SELECT pg_advisory_xact_lock(7312019)";
const std::string kMoveTalliesSql =
    "WITH mover AS (SELECT pg_try_advisory_xact_lock(7312019) AS held), moved AS (DELETE FROM "
    "writer_tallies WHERE writer = $1::int8 AND (SELECT held FROM mover) RETURNING dimension, "
    "label, n, gained, gain_sum) " +
    AddTallySql("SELECT dimension, label, n, gained, gain_sum FROM moved");
// How often a writer moves its rows: the fewer rows wait, the fewer the page's top lists add.
constexpr std::chrono::seconds kMoveEvery{1};

// An upgrade's statement may take minutes at millions of reports (an index, the machines'
// count), and waits for another server's upgrade: it is waited for this long, not the few
// seconds a report's statements get (its transaction lifts the database's statement timeout).
constexpr std::chrono::milliseconds kUpgradeAnswerWait = std::chrono::minutes(10);

// The upgrade's view of the connection.
class PostgresSession : public SchemaSession {
  public:
    explicit PostgresSession(PGconn* conn) : mConn(conn) {}
    void Execute(const std::string& sql) override
    {
        Command(mConn, sql.c_str(), kUpgradeAnswerWait);
    }
    ResultRows Query(const std::string& sql) override
    {
        return RowsOf(Executed(mConn, sql, {}, kUpgradeAnswerWait).get());
    }
    void AddTallies(const TallyChanges& changes) override
    {
        std::vector<std::string> arrays;
        Executed(mConn, kAddTalliesSql, TallyParameters(changes, arrays), kUpgradeAnswerWait);
    }

  private:
    PGconn* mConn;
};

// How a store's connection reaches the database.
struct PostgresAccess {
    std::string url;
    // Statements are prepared once a connection; not behind a pool in transaction mode, where a
    // statement prepared would outlive the transaction, and the next transaction may run in a
    // session where it is missing or another's.
    bool prepare = true;
    // A read database (a standby, or another connection string to the primary): no schema
    // upgrade, and only reads are sent.
    bool reading = false;
};

class PostgresStore : public ReportStore {
  public:
    // `primary`: for a read database that exports, the primary's connection that tells how far
    // the export may go.
    explicit PostgresStore(PostgresAccess access, std::unique_ptr<PostgresStore> primary = nullptr)
        : mAccess(std::move(access)), mPrepare(mAccess.prepare), mPrimary(std::move(primary))
    {
        try {
            const PatientAnswers starting;
            Connect();
        } catch (...) {
            // The upgrade refused the database: no destructor runs for an object never made.
            PQfinish(mConn);
            throw;
        }
    }
    ~PostgresStore() override { PQfinish(mConn); }
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>& reports) override;
    SurveyFigures Summarize() override;
    void Ping() override;
    void ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>& visit) override;
    void ForEachReport(std::int64_t afterId,
                       const std::function<void(const StoredReport&)>& visit) override;
    std::optional<std::int64_t> Rerate(const ServerTables& tables, std::int64_t afterId,
                                       std::size_t limit) override;
    ReportedNames MostReported(std::size_t limit) override;
    UnratedCounts Unrated() override;

    // The highest id below which every report has committed, and where the log ends after them.
    std::pair<std::string, std::string> CommittedBound();
    // The cluster's system identifier (a standby's is its primary's) and the database's name.
    std::string Identity() { return RowsOf(Command(kIdentitySql).get()).at(0).at(0); }

  private:
    // Runs a named statement row by row, so the client never holds every row at once.
    void ForEachRow(const char* name, const Parameters& parameters,
                    const std::function<void(const ResultRow&)>& visit);
    // Opens the connection (again, after one broke), brings the schema up to date and names the
    // statements.
    void Connect();
    // Connect after the database closed the connection. A restart takes a moment: when the
    // database answered until now, tries for a few seconds; once it stayed away that long, once
    // a call, so that a long outage does not hold every report for seconds.
    void Reconnect();
    // Runs `work`; when the connection broke under it (the database restarted, say), opens a
    // new one and runs it once more. For work that stores nothing.
    template <typename Work> auto Retried(const Work& work) -> decltype(work())
    {
        try {
            return work();
        } catch (const std::runtime_error&) {
            if (PQstatus(mConn) == CONNECTION_OK)
                throw;
            Reconnect();
            return work();
        }
    }
    Result Command(const char* sql) { return ::Command(mConn, sql); }
    // The number of this connection's tally rows, claimed at its first write.
    const std::string& Writer();
    // Sends the statement of that name: by its name once prepared on this connection, or with
    // its text. False when libpq could not take it.
    bool Send(const std::string& name, const Parameters& parameters);
    void PrepareOnce(const std::string& name);
    // The database's message for a failed result. One that shows a pool in transaction mode in
    // front turns this connection to sending every statement with its text: the caller's retry,
    // and everything after it, then works behind the pool.
    std::string FailureOf(const PGresult* result);
    // The error to throw for `text`: StoreRetry when FailureOf has just turned this connection to
    // statements with their text, so the same work tried again succeeds.
    std::exception_ptr ErrorOf(const std::string& text);
    // Waits until this read database has replayed the primary's log up to `logEnd`.
    void AwaitReplay(const std::string& logEnd);
    // Runs the statement of that name.
    Result Prepared(const std::string& name, const Parameters& parameters = {});
    // One statement of a pipeline: a named one, or else `sql` without parameters.
    struct Step {
        std::string name;
        const char* sql;
        Parameters parameters;
    };
    // Sends the steps at once and returns one result per step; throws on the first failure.
    std::vector<Result> Pipeline(
        const std::vector<Step>& steps,
        std::chrono::steady_clock::time_point by = std::chrono::steady_clock::now() + AnswerWait());
    // Ends a failed transaction; a connection that cannot is left broken for the caller.
    void RollBack();
    std::vector<RecordOutcome> RecordTogether(const std::vector<StoredReport>& reports);
    // Whether the report, not stored for its key, is a second post of the stored one.
    bool IsRepostOfStored(const StoredReport& report);
    void ForEachReportAfter(std::int64_t afterId,
                            const std::function<void(const StoredReport&)>& visit);

    const PostgresAccess mAccess;
    bool mPrepare;              // statements are prepared (kept across reconnections)
    bool mTurnedToText = false; // since the last error thrown
    const std::unique_ptr<PostgresStore> mPrimary;
    PGconn* mConn = nullptr;
    bool mAway = false;                           // the last reconnection gave up
    std::string mWriter;                          // empty until claimed on this connection
    std::chrono::steady_clock::time_point mMoved; // when its rows last went to the tallies
    // The statements by name, and the names of those prepared on this connection.
    std::map<std::string, std::string> mStatements;
    std::map<std::string, std::string> mPrepared;
};

void PostgresStore::Connect()
{
    PQfinish(mConn);
    mPrepared.clear();
    mWriter.clear();
    mConn = ConnectPostgres(mAccess.url);
    if (PQstatus(mConn) != CONNECTION_OK) {
        // Freed here: a constructor that throws runs no destructor.
        const std::string reason = std::string("postgresql connect: ") + PQerrorMessage(mConn);
        PQfinish(mConn);
        mConn = nullptr;
        throw std::runtime_error(reason);
    }
    PQsetNoticeProcessor(
        mConn, [](void*, const char*) {}, nullptr);
    // A statement the database itself ends, below the program's 20 s (an URL's options win).
    if (!std::string(PQparameterStatus(mConn, "statement_timeout") ?: "0").compare("0"))
        Command((std::string("SET statement_timeout = ") + kPostgresStatementTimeoutMs).c_str());
    if (!mAccess.reading) {
        PostgresSession session(mConn);
        UpgradeSchema(session, kPostgresDialect);
    }
    // A batch's reports, and the machines of those recorded that are new, in one statement: it
    // returns ("r", u, mc) for each report stored and ("m", "", mc) for each machine. Rows go in
    // key order, the first of equal keys first, so that two batches of the same keys wait for
    // each other instead of each holding what the other needs (a deadlock).
    std::vector<const char*> types = {"int8", "text", "int8"};
    types.resize(3 + kReportFieldCount, "bytea");
    types.resize(types.size() + kRatingNumbers, "int8");
    types.push_back("text");
    mStatements.insert_or_assign(
        "record",
        "WITH input AS (SELECT * FROM " + UnnestSql(types) +
            " WITH ORDINALITY AS t(received, peer, gain, " + ReportColumns() + ", " +
            RatingColumns() + ", n)), r AS (" +
            InsertRatedReportSql("SELECT received, peer, gain, " + ReportColumns() + ", " +
                                 RatingColumns() + " FROM input ORDER BY u, mc, n") +
            " ON CONFLICT (u, mc) DO NOTHING RETURNING u, mc), m AS (INSERT INTO "
            "machines (mc) SELECT DISTINCT mc FROM r ORDER BY mc ON CONFLICT (mc) DO "
            "NOTHING RETURNING mc) SELECT CAST('r' AS TEXT), u, mc FROM r UNION ALL "
            "SELECT CAST('m' AS TEXT), CAST('' AS BYTEA), mc FROM m");
    mStatements.insert_or_assign("add_tallies", kAddTalliesSql);
    mStatements.insert_or_assign("add_writer_tallies", kAddWriterTalliesSql);
    mStatements.insert_or_assign("move_tallies", kMoveTalliesSql);
    mStatements.insert_or_assign("rank_tally", RankTallySql());
    // Row locks: two servers rating the same reports take back an old rating once.
    mStatements.insert_or_assign("rerate_select", RerateSelectSql([](int n) {
                                                      return "$" + std::to_string(n) + "::bigint";
                                                  }) + " FOR UPDATE");
    std::vector<const char*> ratingTypes(1 + kRatingNumbers, "int8");
    ratingTypes.push_back("text");
    mStatements.insert_or_assign(
        "rerate_update", RatingUpdateSql([](int n) { return "u.c" + std::to_string(n); }) +
                             " FROM " + UnnestSql(ratingTypes) +
                             " AS u(c1, c2, c3, c4, c5, c6, c7, c8, c9, c10) WHERE id = u.c1");
    mStatements.insert_or_assign("prune_rating", PruneRatingTalliesSql());
    mStatements.insert_or_assign("unrated", UnratedSql());
    mStatements.insert_or_assign(
        "reports",
        SelectReportsSql([](int n) { return "$" + std::to_string(n) + "::bigint"; }, kExportRows));
    for (std::size_t i = 0; i < SurveyQueries().size(); ++i)
        mStatements.insert_or_assign("survey" + std::to_string(i), SurveyQueries()[i]);
    mStatements.insert_or_assign("unknown_devices", UnknownDevicesSql());
    mStatements.insert_or_assign("stored_report", StoredReportSql([](int n) {
                                     return "$" + std::to_string(n) + "::bytea";
                                 }));
}

const std::string& PostgresStore::Writer()
{
    if (mWriter.empty())
        mWriter = RowsOf(Command(kClaimWriterSql.c_str()).get()).at(0).at(0);
    return mWriter;
}

void PostgresStore::Reconnect()
{
    const auto giveUp = std::chrono::steady_clock::now() +
                        (mAway ? std::chrono::seconds(0) : std::chrono::seconds(5));
    for (;;) {
        const auto attempt = std::chrono::steady_clock::now();
        try {
            Connect();
            mAway = false;
            return;
        } catch (const std::runtime_error& e) {
            // A restart refuses connections at once; an attempt that waited out its timeout
            // met a database that does not answer, and another would wait as long.
            const auto now = std::chrono::steady_clock::now();
            if (now >= giveUp || now - attempt >= std::chrono::seconds(1)) {
                mAway = true;
                throw StoreUnavailable(e.what());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

void PostgresStore::PrepareOnce(const std::string& name)
{
    if (!mPrepare || mPrepared.count(name))
        return;
    const std::string& sql = mStatements.at(name);
    const std::string prepared = PreparedName(name, sql);
    if (!PQsendPrepare(mConn, prepared.c_str(), sql.c_str(), 0, nullptr))
        throw std::runtime_error("postgresql prepare " + name + ": " + PQerrorMessage(mConn));
    const Result result(LastResult(mConn));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        std::rethrow_exception(
            ErrorOf("postgresql prepare " + name + ": " + FailureOf(result.get())));
    mPrepared.emplace(name, prepared);
}

bool PostgresStore::Send(const std::string& name, const Parameters& parameters)
{
    const int count = static_cast<int>(parameters.values.size());
    const auto prepared = mPrepared.find(name);
    return prepared != mPrepared.end()
               ? PQsendQueryPrepared(mConn, prepared->second.c_str(), count,
                                     parameters.values.data(), parameters.lengths.data(),
                                     parameters.formats.data(), 1)
               : PQsendQueryParams(mConn, mStatements.at(name).c_str(), count, nullptr,
                                   parameters.values.data(), parameters.lengths.data(),
                                   parameters.formats.data(), 1);
}

std::string PostgresStore::FailureOf(const PGresult* result)
{
    const std::string message = PQresultErrorMessage(result);
    if (!IsOtherSession(result) || !mPrepare)
        return message;
    mPrepare = false;
    mTurnedToText = true;
    mPrepared.clear();
    LogFailure("store retry", "prepared statements",
               "a pool in transaction mode in front of the database gave another session (" +
                   message +
                   "): this connection sends every statement with its text from now on; "
                   "--transaction-pool says so from the start");
    return message + " (a pool in transaction mode in front of the database: statements are sent "
                     "with their text from now on)";
}

std::exception_ptr PostgresStore::ErrorOf(const std::string& text)
{
    const bool retry = std::exchange(mTurnedToText, false);
    return retry ? std::make_exception_ptr(StoreRetry(text))
                 : std::make_exception_ptr(std::runtime_error(text));
}

Result PostgresStore::Prepared(const std::string& name, const Parameters& parameters)
{
    PrepareOnce(name);
    if (!Send(name, parameters))
        throw std::runtime_error("postgresql " + name + ": " + PQerrorMessage(mConn));
    Result result(LastResult(mConn));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        std::rethrow_exception(ErrorOf("postgresql " + name + ": " + FailureOf(result.get())));
    return result;
}

std::vector<Result> PostgresStore::Pipeline(const std::vector<Step>& steps,
                                            std::chrono::steady_clock::time_point by)
{
    // A statement is prepared outside the pipeline, once a connection.
    for (const Step& step : steps)
        if (!step.name.empty())
            PrepareOnce(step.name);
    if (!PQenterPipelineMode(mConn))
        throw std::runtime_error(std::string("postgresql pipeline: ") + PQerrorMessage(mConn));
    bool sent = true;
    for (const Step& step : steps) {
        const Parameters& p = step.parameters;
        sent = sent &&
               (step.name.empty()
                    ? PQsendQueryParams(mConn, step.sql, static_cast<int>(p.values.size()), nullptr,
                                        p.values.data(), p.lengths.data(), p.formats.data(), 1)
                    : Send(step.name, p));
    }
    sent = sent && PQpipelineSync(mConn);
    // Every result up to the sync is read, even after a failure, so the connection stays usable;
    // after the first failure the database skips the rest of the steps.
    std::vector<Result> results;
    std::string failure = sent ? "" : PQerrorMessage(mConn);
    while (sent) {
        Result result(NextResult(mConn, by));
        if (!result) {
            if (PQstatus(mConn) != CONNECTION_OK) {
                failure = PQerrorMessage(mConn);
                break;
            }
            continue; // the end of one step's results
        }
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_PIPELINE_SYNC)
            break;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && failure.empty())
            failure =
                status == PGRES_PIPELINE_ABORTED ? "pipeline aborted" : FailureOf(result.get());
        results.push_back(std::move(result));
    }
    PQexitPipelineMode(mConn);
    if (!failure.empty())
        std::rethrow_exception(ErrorOf("postgresql: " + failure));
    return results;
}

void PostgresStore::RollBack()
{
    try {
        Command("ROLLBACK");
    } catch (const std::runtime_error&) {
    }
}

std::vector<RecordOutcome> PostgresStore::Record(const std::vector<StoredReport>& reports)
{
    try {
        return RecordTogether(reports);
    } catch (const std::runtime_error&) {
        if (PQstatus(mConn) == CONNECTION_OK && PQpipelineStatus(mConn) == PQ_PIPELINE_OFF) {
            // A statement failed on a sound connection: nothing is stored, the caller decides.
            RollBack();
            throw;
        }
    }
    // The connection broke: the batch is stored only if its commit went out. Once more on a
    // new connection; a report that was stored then meets its own row, a second post of it.
    Reconnect();
    return RecordTogether(reports);
}

bool PostgresStore::IsRepostOfStored(const StoredReport& report)
{
    Parameters key;
    key.Bytes(At(report.values, ReportField::Account));
    key.Bytes(At(report.values, ReportField::Mac));
    const ResultRows rows = RowsOf(Prepared("stored_report", key).get());
    return rows.size() == 1 && IsRepost(report, rows[0]);
}

std::vector<RecordOutcome> PostgresStore::RecordTogether(const std::vector<StoredReport>& reports)
{
    // The batch goes out in two round trips of few statements: the reports with their machines,
    // then the tallies, the rank and the commit.
    const auto started = std::chrono::steady_clock::now();
    const std::string& writer = Writer();
    const std::shared_ptr<const ServerTables> tables = CurrentServerTables();
    std::vector<RecordOutcome> outcomes(reports.size());
    ColumnValues numbers;
    const std::size_t ratingAt = 3 + kReportFieldCount;
    std::vector<std::vector<const std::string*>> columns(ratingAt + kRatingNumbers + 1);
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const StoredReport& report = reports[r];
        outcomes[r].rating = RateReport(*tables, report.values);
        outcomes[r].tables = tables;
        const auto gain = GainOf(report.values);
        numbers.push_back(Int8Bytes(report.receivedAt));
        columns[0].push_back(&numbers.back());
        columns[1].push_back(&report.peer);
        numbers.push_back(gain ? Int8Bytes(*gain) : std::string());
        columns[2].push_back(gain ? &numbers.back() : nullptr);
        for (std::size_t i = 0; i < kReportFieldCount; ++i)
            columns[3 + i].push_back(&report.values[i]);
        const auto rating = RatingNumbers(outcomes[r].rating);
        for (std::size_t i = 0; i < kRatingNumbers; ++i) {
            numbers.push_back(Int8Bytes(rating[i]));
            columns[ratingAt + i].push_back(&numbers.back());
        }
        columns[ratingAt + kRatingNumbers].push_back(&tables->digest);
    }
    std::vector<std::string> arrays;
    for (std::size_t c = 0; c < columns.size(); ++c)
        arrays.push_back(BinaryArray(c == 1 || c == ratingAt + kRatingNumbers ? kTextOid
                                     : c == 0 || c == 2 || c >= ratingAt      ? kInt8Oid
                                                                              : kByteaOid,
                                     columns[c]));
    Step record{"record", nullptr, {}};
    for (const std::string& array : arrays)
        record.parameters.Bytes(array);
    const std::vector<Result> inserted =
        Pipeline({{"", "BEGIN", {}}, {"", kWritingLockSql, {}}, std::move(record)});

    // Which reports were stored and whose machines are new: the first of equal keys in the batch.
    std::set<std::pair<std::string, std::string>> stored;
    std::set<std::string> newMachines;
    for (const ResultRow& row : RowsOf(inserted.at(2).get())) {
        if (row.at(0) == "r")
            stored.insert({row.at(1), row.at(2)});
        else
            newMachines.insert(row.at(2));
    }
    TallyChanges changes;
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const std::string& mac = At(reports[r].values, ReportField::Mac);
        const std::pair<std::string, std::string> key(At(reports[r].values, ReportField::Account),
                                                      mac);
        outcomes[r].recorded = stored.erase(key) > 0;
        if (outcomes[r].recorded)
            AddToTallies(changes, reports[r], &outcomes[r].rating, newMachines.erase(mac) > 0);
        // Its tallies were added with the first post.
        else
            outcomes[r].recorded = IsRepostOfStored(reports[r]);
    }

    std::vector<Step> finish;
    std::vector<std::string> tallyArrays;
    if (!changes.empty()) {
        finish.push_back({"add_writer_tallies", nullptr, TallyParameters(changes, tallyArrays)});
        finish.back().parameters.Text(&writer);
    }
    if (started - mMoved >= kMoveEvery) {
        finish.push_back({"move_tallies", nullptr, {}});
        finish.back().parameters.Text(&writer);
        mMoved = started;
    }
    finish.push_back({"rank_tally", nullptr, {}});
    // A commit that reaches a database stalled past the guard's moment fails instead, so the
    // batch given up on below is not stored later, when the database resumes. (Only a stall
    // between the guard and the commit itself leaves it stored unanswered.)
    const std::string guard = CommitGuardSql(std::chrono::system_clock::now() + kCommitWithin);
    finish.push_back({"", guard.c_str(), {}});
    finish.push_back({"", "COMMIT", {}});
    const std::vector<Result> finished =
        Pipeline(finish, started + kCommitWithin + kCommitGuardMargin);
    const RankCounts ranks = RankCountsFrom(RowsOf(finished.at(finished.size() - 3).get()));
    for (RecordOutcome& outcome : outcomes)
        if (outcome.recorded)
            outcome.rank = RankIn(ranks, outcome.rating.level);
    return outcomes;
}

void PostgresStore::Ping()
{
    Retried([&] { Command("SELECT 1"); });
}

SurveyFigures PostgresStore::Summarize()
{
    return Retried([&] {
        std::vector<ResultRows> results;
        Command("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        try {
            for (std::size_t i = 0; i < SurveyQueries().size(); ++i)
                results.push_back(RowsOf(Prepared("survey" + std::to_string(i)).get()));
        } catch (...) {
            RollBack();
            throw;
        }
        Command("COMMIT");
        return FiguresFromRows(results);
    });
}

void PostgresStore::ForEachRow(const char* name, const Parameters& parameters,
                               const std::function<void(const ResultRow&)>& visit)
{
    PrepareOnce(name);
    if (!Send(name, parameters) || !PQsetSingleRowMode(mConn))
        throw std::runtime_error(std::string("postgresql ") + name + ": " + PQerrorMessage(mConn));
    // Every result is read to the end, even after a failure, so the connection stays usable.
    std::exception_ptr failure;
    while (PGresult* next = NextResult(mConn, std::chrono::steady_clock::now() + AnswerWait())) {
        const Result result(next);
        const ExecStatusType status = PQresultStatus(next);
        if (status == PGRES_SINGLE_TUPLE && !failure) {
            try {
                visit(RowsOf(next).at(0));
            } catch (...) {
                failure = std::current_exception();
            }
        } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && !failure) {
            failure = ErrorOf(std::string("postgresql ") + name + ": " + FailureOf(next));
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void PostgresStore::ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>& visit)
{
    ForEachRow("unknown_devices", {},
               [&](const ResultRow& row) { visit(UnknownDeviceFromRow(row)); });
}

void PostgresStore::ForEachReport(std::int64_t afterId,
                                  const std::function<void(const StoredReport&)>& visit)
{
    // After a broken connection, on from the last report read.
    Retried([&] {
        ForEachReportAfter(afterId, [&](const StoredReport& report) {
            visit(report);
            afterId = report.id;
        });
    });
}

void PostgresStore::ForEachReportAfter(std::int64_t afterId,
                                       const std::function<void(const StoredReport&)>& visit)
{
    std::string highest;
    if (mPrimary) {
        // The primary tells how far every report has committed; a standby's rows are read once
        // it has replayed that far, so the cursor passes no report it has not shown yet.
        const auto [bound, logEnd] = mPrimary->Retried([&] { return mPrimary->CommittedBound(); });
        AwaitReplay(logEnd);
        highest = bound;
    } else {
        highest = CommittedBound().first;
    }
    // Pages by id: no statement holds the rows of the whole table, nor a snapshot for as long as
    // the reader takes.
    for (;;) {
        const std::string after = std::to_string(afterId);
        Parameters parameters;
        parameters.Text(&after);
        parameters.Text(&highest);
        const ResultRows rows = RowsOf(Prepared("reports", parameters).get());
        for (const ResultRow& row : rows) {
            const StoredReport report = ReportFromRow(row);
            visit(report);
            afterId = report.id;
        }
        if (rows.size() < static_cast<std::size_t>(kExportRows))
            return;
    }
}

std::pair<std::string, std::string> PostgresStore::CommittedBound()
{
    // Read committed whatever the database's default: the highest id is read after the lock is
    // held, by a statement of its own snapshot, and the log's end after that.
    if (mAccess.reading)
        throw std::logic_error("the committed bound is the primary's");
    const std::vector<Result> bound = Pipeline({{"", "BEGIN ISOLATION LEVEL READ COMMITTED", {}},
                                                {"", kCommittedBoundSql, {}},
                                                {"", kHighestIdSql, {}},
                                                {"", kLogEndSql, {}},
                                                {"", "COMMIT", {}}});
    return {RowsOf(bound.at(2).get()).at(0).at(0), RowsOf(bound.at(3).get()).at(0).at(0)};
}

void PostgresStore::AwaitReplay(const std::string& logEnd)
{
    Parameters position;
    position.Text(&logEnd);
    const auto giveUp = std::chrono::steady_clock::now() + kReplayWait;
    // A boolean in the binary form is one byte, 1 for true.
    while (RowsOf(Executed(mConn, kReplayedSql, position).get()).at(0).at(0) != "\1") {
        if (std::chrono::steady_clock::now() >= giveUp)
            throw std::runtime_error("postgresql: the read database has not replayed the "
                                     "primary's log to " +
                                     logEnd + " within " + std::to_string(kReplayWait.count()) +
                                     " s (replication lag)");
        std::this_thread::sleep_for(kReplayPoll);
    }
}

std::optional<std::int64_t> PostgresStore::Rerate(const ServerTables& tables, std::int64_t afterId,
                                                  std::size_t limit)
{
    return Retried([&] {
        std::optional<std::int64_t> last;
        Command("BEGIN");
        try {
            const std::string after = std::to_string(afterId), most = std::to_string(limit);
            Parameters parameters;
            parameters.Text(&after);
            parameters.Text(&most);
            TallyChanges changes;
            ColumnValues ids, numbers;
            std::vector<std::vector<const std::string*>> columns(2 + kRatingNumbers);
            const ResultRows rows = RowsOf(Prepared("rerate_select", parameters).get());
            for (const ResultRow& row : rows) {
                last = std::atoll(row.at(0).c_str());
                const std::optional<RatingUpdate> update = RerateRow(row, tables, changes);
                if (!update)
                    continue;
                ids.push_back(Int8Bytes(update->id));
                columns[0].push_back(&ids.back());
                const auto rating = RatingNumbers(update->rating);
                for (std::size_t i = 0; i < kRatingNumbers; ++i) {
                    numbers.push_back(Int8Bytes(rating[i]));
                    columns[1 + i].push_back(&numbers.back());
                }
                columns[1 + kRatingNumbers].push_back(&tables.digest);
            }
            if (!changes.empty()) {
                std::vector<std::string> arrays;
                Parameters update;
                for (std::size_t c = 0; c < columns.size(); ++c)
                    arrays.push_back(
                        BinaryArray(c + 1 == columns.size() ? kTextOid : kInt8Oid, columns[c]));
                for (const std::string& array : arrays)
                    update.Bytes(array);
                Prepared("rerate_update", update);
                // Taken back from the tallies, where every writer's rows end up: those only
                // add, as the page's top lists need.
                Command(kTakeMoverSql);
                std::vector<std::string> tallyArrays;
                Prepared("add_tallies", TallyParameters(changes, tallyArrays));
                Prepared("prune_rating");
            }
            Command("COMMIT");
        } catch (...) {
            PQclear(PQexec(mConn, "ROLLBACK"));
            throw;
        }
        return last;
    });
}

ReportedNames PostgresStore::MostReported(std::size_t limit)
{
    return Retried([&] {
        ReportedNames names;
        for (auto [dimension, list] :
             {std::pair("cpu", &names.processors), std::pair("gpu", &names.adapters)})
            for (const ResultRow& row :
                 RowsOf(Executed(mConn, MostReportedSql(dimension, limit), {}).get()))
                list->push_back(row.at(0));
        return names;
    });
}

UnratedCounts PostgresStore::Unrated()
{
    return Retried([&] { return UnratedFrom(RowsOf(Prepared("unrated").get())); });
}

} // namespace

std::unique_ptr<ReportStore> OpenPostgresStore(const std::string& url, bool transactionPool)
{
    return std::make_unique<PostgresStore>(PostgresAccess{url, !transactionPool, false});
}

std::unique_ptr<ReportStore> OpenPostgresReader(const std::string& primaryUrl,
                                                const std::string& readUrl, bool transactionPool,
                                                bool exports)
{
    if (!exports)
        return std::make_unique<PostgresStore>(PostgresAccess{readUrl, !transactionPool, true});
    auto primary =
        std::make_unique<PostgresStore>(PostgresAccess{primaryUrl, !transactionPool, false});
    const std::string primaryIdentity = primary->Identity();
    auto reader = std::make_unique<PostgresStore>(PostgresAccess{readUrl, !transactionPool, true},
                                                  std::move(primary));
    // The export's bound is the primary's: rows read elsewhere would pass reports for good.
    const std::string readIdentity = reader->Identity();
    if (readIdentity != primaryIdentity)
        throw std::runtime_error("the read database (system and database " + readIdentity +
                                 ") is neither the database (" + primaryIdentity +
                                 ") nor a standby of it");
    return reader;
}
