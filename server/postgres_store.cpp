// The shared engine: a PostgreSQL database that several server processes may use at once.
// Uniqueness is the database's (a unique index), so concurrent servers record a report once.
#include "server/report_store.hpp"
#include "server/store_schema.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <exception>
#include <stdexcept>

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reports (id BIGSERIAL PRIMARY KEY, received BIGINT NOT NULL, "
    "peer TEXT NOT NULL, gain BIGINT, u BYTEA NOT NULL, mc BYTEA NOT NULL, cpu BYTEA NOT NULL, "
    "mm BYTEA NOT NULL, dm BYTEA NOT NULL, cc BYTEA NOT NULL, lcc BYTEA NOT NULL, "
    "lvm BYTEA NOT NULL, tvm BYTEA NOT NULL, os BYTEA NOT NULL, rs BYTEA NOT NULL, "
    "dx BYTEA NOT NULL, vc BYTEA NOT NULL, dd BYTEA NOT NULL, hl BYTEA NOT NULL, "
    "s BYTEA NOT NULL, pn BYTEA NOT NULL, nc BYTEA NOT NULL, ei BYTEA NOT NULL, "
    "tk BYTEA NOT NULL, UNIQUE (u, mc));"
    "CREATE TABLE IF NOT EXISTS machines (mc BYTEA PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS tallies (dimension TEXT NOT NULL, label BYTEA NOT NULL, "
    "n BIGINT NOT NULL, gained BIGINT NOT NULL, gain_sum BIGINT NOT NULL, "
    "PRIMARY KEY (dimension, label))";

// Any number fits this key; it only keeps two servers from creating the tables at once.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7312016)";

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

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

class PostgresStore : public ReportStore {
  public:
    explicit PostgresStore(const std::string& url) : url_(url) { Connect(); }
    ~PostgresStore() override { PQfinish(conn_); }
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>& reports) override;
    SurveyFigures Summarize() override;
    void Ping() override;
    void ForEachReport(std::int64_t afterId,
                       const std::function<void(const StoredReport&)>& visit) override;

  private:
    // Opens the connection (again, after one broke: the prepared statements go with it), makes
    // the tables when missing and prepares the statements.
    void Connect();
    // Connect, without a failure of its own: the caller reports the one that brought it here.
    void Reconnect()
    {
        try {
            Connect();
        } catch (const std::runtime_error&) {
        }
    }
    // A statement that must succeed; throws with the server's message otherwise.
    Result Command(const char* sql);
    Result Prepared(const std::string& name, const Parameters& parameters = {});
    void Prepare(const std::string& name, const std::string& sql);
    // Text and bytea columns come back as raw bytes in the binary result format.
    static ResultRows RowsOf(const PGresult* result);
    // One statement of a pipeline: a prepared one by name, or else `sql` without parameters.
    struct Step {
        std::string name;
        const char* sql;
        Parameters parameters;
    };
    // Sends the steps at once and returns one result per step; throws on the first failure.
    std::vector<Result> Pipeline(const std::vector<Step>& steps);
    std::vector<RecordOutcome> RecordTogether(const std::vector<StoredReport>& reports);

    const std::string url_;
    PGconn* conn_ = nullptr;
};

void PostgresStore::Connect()
{
    PQfinish(conn_);
    conn_ = PQconnectdb(url_.c_str());
    if (PQstatus(conn_) != CONNECTION_OK)
        throw std::runtime_error(std::string("postgresql connect: ") + PQerrorMessage(conn_));
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    Command("BEGIN");
    Command(kSchemaLock);
    Command(kSchema);
    Command("COMMIT");
    // A report and, when it is new, its machine, in one statement: both counts come back.
    Prepare("record", "WITH r AS (" +
                          InsertReportSql([](int n) { return "$" + std::to_string(n); }) +
                          " ON CONFLICT (u, mc) DO NOTHING RETURNING mc), m AS (INSERT INTO "
                          "machines (mc) SELECT mc FROM r ON CONFLICT (mc) DO NOTHING RETURNING "
                          "mc) SELECT CAST((SELECT count(*) FROM r) AS TEXT), "
                          "CAST((SELECT count(*) FROM m) AS TEXT)");
    Prepare("add_tally", AddTallySql([](int n) { return "$" + std::to_string(n); }));
    Prepare("gain_tally", GainTallySql());
    Prepare("reports",
            SelectReportsSql([](int n) { return "$" + std::to_string(n) + "::bigint"; }));
    for (std::size_t i = 0; i < SurveyQueries().size(); ++i)
        Prepare("survey" + std::to_string(i), SurveyQueries()[i]);
}

Result PostgresStore::Command(const char* sql)
{
    Result result(PQexec(conn_, sql));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(std::string("postgresql: ") + PQresultErrorMessage(result.get()));
    return result;
}

void PostgresStore::Prepare(const std::string& name, const std::string& sql)
{
    Result result(PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        throw std::runtime_error("postgresql prepare " + name + ": " +
                                 PQresultErrorMessage(result.get()));
}

Result PostgresStore::Prepared(const std::string& name, const Parameters& parameters)
{
    Result result(PQexecPrepared(conn_, name.c_str(), static_cast<int>(parameters.values.size()),
                                 parameters.values.data(), parameters.lengths.data(),
                                 parameters.formats.data(), 1));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error("postgresql " + name + ": " + PQresultErrorMessage(result.get()));
    return result;
}

ResultRows PostgresStore::RowsOf(const PGresult* result)
{
    ResultRows rows(PQntuples(result));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r].resize(PQnfields(result));
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            rows[r][c].assign(PQgetvalue(result, r, c), PQgetlength(result, r, c));
    }
    return rows;
}

std::vector<Result> PostgresStore::Pipeline(const std::vector<Step>& steps)
{
    if (!PQenterPipelineMode(conn_))
        throw std::runtime_error(std::string("postgresql pipeline: ") + PQerrorMessage(conn_));
    bool sent = true;
    for (const Step& step : steps) {
        const Parameters& p = step.parameters;
        const int count = static_cast<int>(p.values.size());
        sent = sent &&
               (step.name.empty()
                    ? PQsendQueryParams(conn_, step.sql, 0, nullptr, nullptr, nullptr, nullptr, 1)
                    : PQsendQueryPrepared(conn_, step.name.c_str(), count, p.values.data(),
                                          p.lengths.data(), p.formats.data(), 1));
    }
    sent = sent && PQpipelineSync(conn_);
    // Every result up to the sync is read, even after a failure, so the connection stays usable;
    // after the first failure the database skips the rest of the steps.
    std::vector<Result> results;
    std::string failure = sent ? "" : PQerrorMessage(conn_);
    while (sent) {
        Result result(PQgetResult(conn_));
        if (!result) {
            if (PQstatus(conn_) != CONNECTION_OK) {
                failure = PQerrorMessage(conn_);
                break;
            }
            continue; // the end of one step's results
        }
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_PIPELINE_SYNC)
            break;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && failure.empty())
            failure = status == PGRES_PIPELINE_ABORTED ? "pipeline aborted"
                                                       : PQresultErrorMessage(result.get());
        results.push_back(std::move(result));
    }
    PQexitPipelineMode(conn_);
    if (!failure.empty())
        throw std::runtime_error("postgresql: " + failure);
    return results;
}

std::vector<RecordOutcome> PostgresStore::Record(const std::vector<StoredReport>& reports)
{
    try {
        return RecordTogether(reports);
    } catch (const std::runtime_error&) {
        if (PQstatus(conn_) != CONNECTION_OK || PQpipelineStatus(conn_) != PQ_PIPELINE_OFF)
            Reconnect();
        else
            PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
}

std::vector<RecordOutcome> PostgresStore::RecordTogether(const std::vector<StoredReport>& reports)
{
    // The batch goes out in two round trips: the inserts, then the tallies, the rank and the
    // commit. Parameters point into these texts until the steps are sent.
    std::vector<Step> inserts{{"", "BEGIN", {}}};
    std::vector<std::array<std::string, 3>> numbers(reports.size());
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const StoredReport& report = reports[r];
        const auto gain = GainOf(report.values);
        numbers[r] = {std::to_string(report.receivedAt), report.peer,
                      gain ? std::to_string(*gain) : std::string()};
        Step step{"record", nullptr, {}};
        step.parameters.Text(&numbers[r][0]);
        step.parameters.Text(&numbers[r][1]);
        step.parameters.Text(gain ? &numbers[r][2] : nullptr);
        for (const std::string& value : report.values)
            step.parameters.Bytes(value);
        inserts.push_back(std::move(step));
    }
    const std::vector<Result> inserted = Pipeline(inserts);

    std::vector<RecordOutcome> outcomes(reports.size());
    TallyChanges changes;
    for (std::size_t r = 0; r < reports.size(); ++r) {
        // One row: reports inserted (0 or 1), machines inserted (0 or 1).
        const ResultRow row = RowsOf(inserted.at(r + 1).get()).at(0);
        outcomes[r].recorded = row.at(0) == "1";
        if (outcomes[r].recorded)
            AddToTallies(changes, reports[r], row.at(1) == "1");
    }
    // In key order, after every insert: see TallyChanges.
    std::vector<Step> finish;
    std::vector<std::array<std::string, 3>> steps;
    steps.reserve(changes.size());
    for (const auto& [key, step] : changes) {
        steps.push_back({std::to_string(step.count), std::to_string(step.gained),
                         std::to_string(step.gainSum)});
        Step add{"add_tally", nullptr, {}};
        add.parameters.Text(&key.first);
        add.parameters.Bytes(key.second);
        for (const std::string& number : steps.back())
            add.parameters.Text(&number);
        finish.push_back(std::move(add));
    }
    finish.push_back({"gain_tally", nullptr, {}});
    finish.push_back({"", "COMMIT", {}});
    const std::vector<Result> finished = Pipeline(finish);
    const ResultRows gains = RowsOf(finished.at(finished.size() - 2).get());
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const auto gain = GainOf(reports[r].values);
        if (outcomes[r].recorded && gain)
            outcomes[r].rank = RankIn(gains, *gain);
    }
    return outcomes;
}

void PostgresStore::Ping()
{
    try {
        Command("SELECT 1");
    } catch (const std::runtime_error&) {
        if (PQstatus(conn_) != CONNECTION_OK)
            Reconnect();
        throw;
    }
}

SurveyFigures PostgresStore::Summarize()
{
    std::vector<ResultRows> results;
    Command("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
        for (std::size_t i = 0; i < SurveyQueries().size(); ++i)
            results.push_back(RowsOf(Prepared("survey" + std::to_string(i)).get()));
    } catch (...) {
        PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
    Command("COMMIT");
    return FiguresFromRows(results);
}

void PostgresStore::ForEachReport(std::int64_t afterId,
                                  const std::function<void(const StoredReport&)>& visit)
{
    const std::string after = std::to_string(afterId);
    const char* parameter = after.c_str();
    // Row by row, so the client never holds every report at once.
    if (!PQsendQueryPrepared(conn_, "reports", 1, &parameter, nullptr, nullptr, 1) ||
        !PQsetSingleRowMode(conn_))
        throw std::runtime_error(std::string("postgresql reports: ") + PQerrorMessage(conn_));
    // Every result is read to the end, even after a failure, so the connection stays usable.
    std::exception_ptr failure;
    while (PGresult* next = PQgetResult(conn_)) {
        const Result result(next);
        const ExecStatusType status = PQresultStatus(next);
        if (status == PGRES_SINGLE_TUPLE && !failure) {
            try {
                visit(ReportFromRow(RowsOf(next).at(0)));
            } catch (...) {
                failure = std::current_exception();
            }
        } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && !failure) {
            failure = std::make_exception_ptr(std::runtime_error(
                std::string("postgresql reports: ") + PQresultErrorMessage(next)));
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

std::unique_ptr<ReportStore> OpenPostgresStore(const std::string& url)
{
    return std::make_unique<PostgresStore>(url);
}
