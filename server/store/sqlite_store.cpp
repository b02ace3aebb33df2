// The embedded engine: one file in the data folder, write-ahead log, full sync on commit.
#include "server/store/private_files.hpp"
#include "server/store/report_store.hpp"
#include "server/store/schema_upgrade.hpp"
#include "server/store/store_schema.hpp"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

// The connection's settings; the write-ahead log is also the file's from then on.
constexpr const char* kSettings = "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL";

class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql)
    {
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &mStmt, nullptr) !=
            SQLITE_OK)
            throw std::runtime_error(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(mStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return mStmt; }

  private:
    sqlite3_stmt* mStmt = nullptr;
};

// Every column of the current row as bytes.
void ReadRow(sqlite3_stmt* stmt, ResultRow& row)
{
    row.resize(sqlite3_column_count(stmt));
    for (std::size_t i = 0; i < row.size(); ++i) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        row[i].assign(bytes ? bytes : "", sqlite3_column_bytes(stmt, i));
    }
}

void CheckResult(sqlite3* db, int result, const char* step)
{
    if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW)
        throw std::runtime_error(std::string("sqlite ") + step + ": " + sqlite3_errmsg(db));
}

// Steps a prepared statement to its end, handing each row on; reset even when `visit` throws,
// as an open read would keep the write-ahead log from being folded back.
void ForEachRowOf(sqlite3* db, sqlite3_stmt* stmt, const char* step,
                  const std::function<void(const ResultRow&)>& visit)
{
    int result;
    ResultRow row;
    try {
        while ((result = sqlite3_step(stmt)) == SQLITE_ROW) {
            ReadRow(stmt, row);
            visit(row);
        }
    } catch (...) {
        sqlite3_reset(stmt);
        throw;
    }
    sqlite3_reset(stmt);
    CheckResult(db, result, step);
}

// Adds the steps through `add`, a prepared AddTallySql of five parameters.
void AddTalliesThrough(sqlite3* db, sqlite3_stmt* add, const TallyChanges& changes)
{
    for (const auto& [key, step] : changes) {
        sqlite3_bind_text(add, 1, key.first.data(), key.first.size(), SQLITE_STATIC);
        sqlite3_bind_blob(add, 2, key.second.data(), key.second.size(), SQLITE_STATIC);
        sqlite3_bind_int64(add, 3, step.count);
        sqlite3_bind_int64(add, 4, step.gained);
        sqlite3_bind_int64(add, 5, step.gainSum);
        const int result = sqlite3_step(add);
        sqlite3_reset(add);
        sqlite3_clear_bindings(add);
        CheckResult(db, result, "tally");
    }
}

const auto kParameter = [](int n) { return "?" + std::to_string(n); };

// The upgrade's view of the connection.
class SqliteSession : public SchemaSession {
  public:
    explicit SqliteSession(sqlite3* db) : mDb(db) {}
    void Execute(const std::string& sql) override
    {
        CheckResult(mDb, sqlite3_exec(mDb, sql.c_str(), nullptr, nullptr, nullptr), sql.c_str());
    }
    ResultRows Query(const std::string& sql) override
    {
        ResultRows rows;
        const Statement query(mDb, sql);
        ForEachRowOf(mDb, query.get(), sql.c_str(),
                     [&rows](const ResultRow& row) { rows.push_back(row); });
        return rows;
    }
    void AddTallies(const TallyChanges& changes) override
    {
        const Statement add(mDb, AddTallySql(ValuesSql(5, kParameter)));
        AddTalliesThrough(mDb, add.get(), changes);
    }

  private:
    sqlite3* mDb;
};

// Which file a path named when it was opened: one deleted or put in its place is another.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

class SqliteStore : public ReportStore {
  public:
    explicit SqliteStore(const std::string& folder);
    ~SqliteStore() override;
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

  private:
    // Binds the rating's columns from parameter `first` on.
    void BindRating(sqlite3_stmt* stmt, int first, const ReportRating& rating,
                    const std::string& digest);
    // Runs `work` in a write transaction: committed when it returns, rolled back when it throws.
    template <typename Work> void InWriteTransaction(const Work& work);
    // Throws unless the file at the path is still the one opened. A connection to a file that
    // was deleted (or had another put in its place) goes on committing into it, and every
    // report it acknowledged would be lost; it works again once that file is back.
    void CheckFile() const;
    void ForEachRow(sqlite3_stmt* stmt, const char* step,
                    const std::function<void(const ResultRow&)>& visit);
    void Check(int result, const char* step) const;
    // Runs a prepared statement to its end, collecting every column as bytes.
    ResultRows Rows(sqlite3_stmt* stmt);
    void Run(sqlite3_stmt* stmt, const char* step);
    // Whether the report, not stored for its key, is a second post of the stored one.
    bool IsRepostOfStored(const StoredReport& report);

    const std::string mPath;
    FileIdentity mIdentity;
    std::uint64_t mPageSize = 0;
    sqlite3* mDb = nullptr;
    std::unique_ptr<Statement> mBegin, mBeginRead, mCommit, mRollback, mInsert, mAddMachine,
        mAddTally, mRankTally, mSelect, mUnknown, mStored, mRerateSelect, mRerateUpdate,
        mPruneRating;
    std::vector<std::unique_ptr<Statement>> mSurvey;
};

SqliteStore::SqliteStore(const std::string& folder)
    : mPath((std::filesystem::path(folder) / "reports.sqlite3").string())
{
    KeepStorePrivate(folder, mPath);
    // Created here with owner-only access (SQLite gives its journal files the same).
    const int file = ::open(mPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0)
        throw std::runtime_error("cannot open " + mPath + ": " + std::strerror(errno));
    struct stat status {};
    ::fstat(file, &status);
    mIdentity = {status.st_dev, status.st_ino};
    ::close(file);
    const int opened =
        sqlite3_open_v2(mPath.c_str(), &mDb,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        const std::string reason = mDb ? sqlite3_errmsg(mDb) : "out of memory";
        sqlite3_close(mDb);
        throw std::runtime_error("sqlite open " + mPath + ": " + reason);
    }
    sqlite3_busy_timeout(mDb, 10000);
    try {
        SqliteSession session(mDb);
        session.Execute(kSettings);
        UpgradeSchema(session, kSqliteDialect);
        mBegin = std::make_unique<Statement>(mDb, "BEGIN IMMEDIATE");
        mBeginRead = std::make_unique<Statement>(mDb, "BEGIN");
        mCommit = std::make_unique<Statement>(mDb, "COMMIT");
        mRollback = std::make_unique<Statement>(mDb, "ROLLBACK");
        const auto& parameter = kParameter;
        mInsert = std::make_unique<Statement>(
            mDb,
            InsertRatedReportSql(ValuesSql(3 + kReportFieldCount + kRatingNumbers + 1, parameter)) +
                " ON CONFLICT (u, mc) DO NOTHING");
        mAddMachine = std::make_unique<Statement>(
            mDb, "INSERT INTO machines (mc) VALUES (?1) ON CONFLICT (mc) DO NOTHING");
        mAddTally = std::make_unique<Statement>(mDb, AddTallySql(ValuesSql(5, parameter)));
        mRankTally = std::make_unique<Statement>(mDb, RankTallySql());
        mRerateSelect = std::make_unique<Statement>(mDb, RerateSelectSql(parameter));
        mRerateUpdate =
            std::make_unique<Statement>(mDb, RatingUpdateSql(parameter) + " WHERE id = ?1");
        mPruneRating = std::make_unique<Statement>(mDb, PruneRatingTalliesSql());
        mSelect = std::make_unique<Statement>(mDb, SelectReportsSql(parameter, -1));
        mUnknown = std::make_unique<Statement>(mDb, UnknownDevicesSql());
        mStored = std::make_unique<Statement>(mDb, StoredReportSql(parameter));
        for (const std::string& sql : SurveyQueries())
            mSurvey.push_back(std::make_unique<Statement>(mDb, sql));
        mPageSize = std::stoull(session.Query("PRAGMA page_size").at(0).at(0));
    } catch (...) {
        // No destructor runs for an object that was never made: the connection closes once the
        // statements made so far are finalized with their members.
        sqlite3_close_v2(mDb);
        throw;
    }
}

template <typename Work> void SqliteStore::InWriteTransaction(const Work& work)
{
    Run(mBegin->get(), "begin");
    try {
        work();
        Run(mCommit->get(), "commit");
    } catch (...) {
        sqlite3_step(mRollback->get());
        sqlite3_reset(mRollback->get());
        throw;
    }
}

void SqliteStore::BindRating(sqlite3_stmt* stmt, int first, const ReportRating& rating,
                             const std::string& digest)
{
    const auto numbers = RatingNumbers(rating);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        sqlite3_bind_int64(stmt, first + i, numbers[i]);
    sqlite3_bind_text(stmt, first + numbers.size(), digest.data(), digest.size(), SQLITE_STATIC);
}

SqliteStore::~SqliteStore()
{
    mBegin.reset();
    mBeginRead.reset();
    mCommit.reset();
    mRollback.reset();
    mInsert.reset();
    mAddMachine.reset();
    mAddTally.reset();
    mRankTally.reset();
    mRerateSelect.reset();
    mRerateUpdate.reset();
    mPruneRating.reset();
    mSelect.reset();
    mUnknown.reset();
    mStored.reset();
    mSurvey.clear();
    sqlite3_close(mDb);
}

void SqliteStore::CheckFile() const
{
    struct stat status {};
    if (::stat(mPath.c_str(), &status) != 0)
        throw std::runtime_error("sqlite: " + mPath + " is gone");
    if (status.st_dev != mIdentity.device || status.st_ino != mIdentity.inode)
        throw std::runtime_error("sqlite: " + mPath + " is another file than the one opened");
}

void SqliteStore::Check(int result, const char* step) const
{
    CheckResult(mDb, result, step);
}

void SqliteStore::Run(sqlite3_stmt* stmt, const char* step)
{
    const int result = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    Check(result, step);
}

ResultRows SqliteStore::Rows(sqlite3_stmt* stmt)
{
    ResultRows rows;
    ForEachRow(stmt, "query", [&rows](const ResultRow& row) { rows.push_back(row); });
    return rows;
}

bool SqliteStore::IsRepostOfStored(const StoredReport& report)
{
    const std::string& account = At(report.values, ReportField::Account);
    const std::string& mac = At(report.values, ReportField::Mac);
    sqlite3_bind_blob(mStored->get(), 1, account.data(), account.size(), SQLITE_STATIC);
    sqlite3_bind_blob(mStored->get(), 2, mac.data(), mac.size(), SQLITE_STATIC);
    const ResultRows rows = Rows(mStored->get());
    sqlite3_clear_bindings(mStored->get());
    return rows.size() == 1 && IsRepost(report, rows[0]);
}

std::vector<RecordOutcome> SqliteStore::Record(const std::vector<StoredReport>& reports)
{
    CheckFile();
    const std::shared_ptr<const ServerTables> tables = CurrentServerTables();
    std::vector<RecordOutcome> outcomes(reports.size());
    InWriteTransaction([&] {
        TallyChanges changes;
        for (std::size_t r = 0; r < reports.size(); ++r) {
            const StoredReport& report = reports[r];
            outcomes[r].rating = RateReport(*tables, report.values);
            outcomes[r].tables = tables;
            sqlite3_stmt* insert = mInsert->get();
            sqlite3_bind_int64(insert, 1, report.receivedAt);
            sqlite3_bind_text(insert, 2, report.peer.data(), report.peer.size(), SQLITE_STATIC);
            if (const auto gain = GainOf(report.values))
                sqlite3_bind_int64(insert, 3, *gain);
            for (std::size_t i = 0; i < kReportFieldCount; ++i)
                sqlite3_bind_blob(insert, 4 + i, report.values[i].data(), report.values[i].size(),
                                  SQLITE_STATIC);
            BindRating(insert, 4 + kReportFieldCount, outcomes[r].rating, tables->digest);
            Run(insert, "insert");
            if (sqlite3_changes(mDb) != 1) {
                outcomes[r].recorded = IsRepostOfStored(report);
                continue;
            }
            outcomes[r].recorded = true;
            const std::string& mac = At(report.values, ReportField::Mac);
            sqlite3_bind_blob(mAddMachine->get(), 1, mac.data(), mac.size(), SQLITE_STATIC);
            Run(mAddMachine->get(), "machine");
            AddToTallies(changes, report, &outcomes[r].rating, sqlite3_changes(mDb) == 1);
        }
        AddTalliesThrough(mDb, mAddTally->get(), changes);
        const RankCounts ranks = RankCountsFrom(Rows(mRankTally->get()));
        for (RecordOutcome& outcome : outcomes)
            if (outcome.recorded)
                outcome.rank = RankIn(ranks, outcome.rating.level);
    });
    // Committed into a file taken away meanwhile: not stored, as far as anyone can read.
    CheckFile();
    return outcomes;
}

std::optional<std::int64_t> SqliteStore::Rerate(const ServerTables& tables, std::int64_t afterId,
                                                std::size_t limit)
{
    CheckFile();
    std::optional<std::int64_t> last;
    InWriteTransaction([&] {
        sqlite3_bind_int64(mRerateSelect->get(), 1, afterId);
        sqlite3_bind_int64(mRerateSelect->get(), 2, static_cast<std::int64_t>(limit));
        TallyChanges changes;
        std::vector<RatingUpdate> updates;
        ForEachRow(mRerateSelect->get(), "rerate", [&](const ResultRow& row) {
            last = std::atoll(row.at(0).c_str());
            if (auto update = RerateRow(row, tables, changes))
                updates.push_back(std::move(*update));
        });
        sqlite3_clear_bindings(mRerateSelect->get());
        for (const RatingUpdate& update : updates) {
            sqlite3_stmt* stmt = mRerateUpdate->get();
            sqlite3_bind_int64(stmt, 1, update.id);
            BindRating(stmt, 2, update.rating, tables.digest);
            Run(stmt, "rating");
        }
        AddTalliesThrough(mDb, mAddTally->get(), changes);
        if (!changes.empty())
            Run(mPruneRating->get(), "prune");
    });
    return last;
}

ReportedNames SqliteStore::MostReported(std::size_t limit)
{
    CheckFile();
    ReportedNames names;
    for (auto [dimension, list] :
         {std::pair("cpu", &names.processors), std::pair("gpu", &names.adapters)})
        for (const ResultRow& row : Rows(Statement(mDb, MostReportedSql(dimension, limit)).get()))
            list->push_back(row.at(0));
    return names;
}

UnratedCounts SqliteStore::Unrated()
{
    CheckFile();
    return UnratedFrom(Rows(Statement(mDb, UnratedSql()).get()));
}

void SqliteStore::Ping()
{
    CheckFile();
    // Reads the file, not only the connection: a broken database fails here.
    Check(sqlite3_exec(mDb, "SELECT count(*) FROM tallies WHERE 0", nullptr, nullptr, nullptr),
          "ping");
    if (::access(mPath.c_str(), W_OK) != 0)
        throw std::runtime_error("sqlite: " + mPath + " is not writable");
    // A commit writes at least a page to the write-ahead log.
    struct statvfs space {};
    if (::statvfs(mPath.c_str(), &space) != 0 ||
        static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize < mPageSize)
        throw std::runtime_error("sqlite: no space left beside " + mPath);
}

SurveyFigures SqliteStore::Summarize()
{
    CheckFile();
    // One read transaction, so every figure describes the same moment.
    Run(mBeginRead->get(), "begin");
    std::vector<ResultRows> results;
    try {
        for (const auto& query : mSurvey)
            results.push_back(Rows(query->get()));
    } catch (...) {
        Run(mRollback->get(), "rollback");
        throw;
    }
    Run(mCommit->get(), "commit");
    return FiguresFromRows(results);
}

void SqliteStore::ForEachRow(sqlite3_stmt* stmt, const char* step,
                             const std::function<void(const ResultRow&)>& visit)
{
    ForEachRowOf(mDb, stmt, step, visit);
}

void SqliteStore::ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>& visit)
{
    CheckFile();
    ForEachRow(mUnknown->get(), "unknown devices",
               [&](const ResultRow& row) { visit(UnknownDeviceFromRow(row)); });
}

void SqliteStore::ForEachReport(std::int64_t afterId,
                                const std::function<void(const StoredReport&)>& visit)
{
    CheckFile();
    // One writer at a time takes ids and commits in turn, so every id up to the last one
    // visible is committed: no bound is needed.
    sqlite3_bind_int64(mSelect->get(), 1, afterId);
    sqlite3_bind_int64(mSelect->get(), 2, INT64_MAX);
    // A reader that gives up (the export's file is full) leaves no read open.
    ForEachRow(mSelect->get(), "export", [&](const ResultRow& row) { visit(ReportFromRow(row)); });
}

} // namespace

std::unique_ptr<ReportStore> OpenSqliteStore(const std::string& folder)
{
    return std::make_unique<SqliteStore>(folder);
}
