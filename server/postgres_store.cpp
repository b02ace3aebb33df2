// The shared engine: a PostgreSQL database that several server processes may use at once.
// Uniqueness is the database's (a unique index), so concurrent servers record a report once.
#include "server/report_store.hpp"
#include "server/store_schema.hpp"

#include <libpq-fe.h>

#include <algorithm>
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
    explicit PostgresStore(const std::string& url);
    ~PostgresStore() override { PQfinish(conn_); }
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>& reports) override;
    SurveyFigures Summarize() override;
    void ForEachReport(const std::function<void(const StoredReport&)>& visit) override;

  private:
    // A statement that must succeed; throws with the server's message otherwise.
    Result Command(const char* sql);
    Result Prepared(const std::string& name, const Parameters& parameters = {});
    void Prepare(const std::string& name, const std::string& sql);
    // Text and bytea columns come back as raw bytes in the binary result format.
    static ResultRows RowsOf(const PGresult* result);
    // The statement inserted (or changed) exactly one row.
    static bool Changed(PGresult* result) { return std::string(PQcmdTuples(result)) == "1"; }
    std::vector<RecordOutcome> RecordTogether(const std::vector<StoredReport>& reports);

    PGconn* conn_;
};

PostgresStore::PostgresStore(const std::string& url) : conn_(PQconnectdb(url.c_str()))
{
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string reason = PQerrorMessage(conn_);
        PQfinish(conn_);
        throw std::runtime_error("postgresql connect: " + reason);
    }
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    Command("BEGIN");
    Command(kSchemaLock);
    Command(kSchema);
    Command("COMMIT");
    Prepare("insert", InsertReportSql([](int n) { return "$" + std::to_string(n); }) +
                          " ON CONFLICT (u, mc) DO NOTHING");
    Prepare("add_machine", "INSERT INTO machines (mc) VALUES ($1) ON CONFLICT (mc) DO NOTHING");
    Prepare("add_tally", AddTallySql([](int n) { return "$" + std::to_string(n); }));
    Prepare("gain_tally", GainTallySql());
    Prepare("reports", SelectReportsSql());
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

std::vector<RecordOutcome> PostgresStore::RecordTogether(const std::vector<StoredReport>& reports)
{
    std::vector<RecordOutcome> outcomes(reports.size());
    TallyChanges changes;
    Command("BEGIN");
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const StoredReport& report = reports[r];
        const auto gain = GainOf(report.values);
        const std::string received = std::to_string(report.receivedAt);
        const std::string gainText = gain ? std::to_string(*gain) : std::string();
        Parameters parameters;
        parameters.Text(&received);
        parameters.Text(&report.peer);
        parameters.Text(gain ? &gainText : nullptr);
        for (const std::string& value : report.values)
            parameters.Bytes(value);
        outcomes[r].recorded = Changed(Prepared("insert", parameters).get());
        if (!outcomes[r].recorded)
            continue;
        Parameters machine;
        machine.Bytes(At(report.values, ReportField::Mac));
        AddToTallies(changes, report, Changed(Prepared("add_machine", machine).get()));
    }
    // In key order, after every insert: see TallyChanges.
    for (const auto& [key, step] : changes) {
        const std::string numbers[] = {std::to_string(step.count), std::to_string(step.gained),
                                       std::to_string(step.gainSum)};
        Parameters parameters;
        parameters.Text(&key.first);
        parameters.Bytes(key.second);
        for (const std::string& number : numbers)
            parameters.Text(&number);
        Prepared("add_tally", parameters);
    }
    const ResultRows gains = RowsOf(Prepared("gain_tally").get());
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const auto gain = GainOf(reports[r].values);
        if (outcomes[r].recorded && gain)
            outcomes[r].rank = RankIn(gains, *gain);
    }
    Command("COMMIT");
    return outcomes;
}

std::vector<RecordOutcome> PostgresStore::Record(const std::vector<StoredReport>& reports)
{
    try {
        return RecordTogether(reports);
    } catch (const std::runtime_error&) {
        PQclear(PQexec(conn_, "ROLLBACK"));
        if (PQstatus(conn_) != CONNECTION_OK)
            PQreset(conn_);
        if (reports.size() == 1)
            throw;
    }
    // Two batches that insert the same accounts in different orders can deadlock, and the
    // database then aborts one; its reports are retried one transaction each.
    std::vector<RecordOutcome> outcomes;
    for (const StoredReport& report : reports)
        outcomes.push_back(RecordTogether({report}).front());
    return outcomes;
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

void PostgresStore::ForEachReport(const std::function<void(const StoredReport&)>& visit)
{
    // Row by row, so the client never holds every report at once.
    if (!PQsendQueryPrepared(conn_, "reports", 0, nullptr, nullptr, nullptr, 1) ||
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
