#pragma once
// Storage of reports behind one small interface, with an SQLite and a PostgreSQL engine. One
// object is one database connection and is used by one thread at a time.
#include "report/report_fields.hpp"
#include "server/intake/report_decision.hpp"
#include "server/intake/report_rating.hpp"
#include "server/intake/score_tables.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The store did not answer in time (a stalled or unreachable database): what waited for it is
// answered as failed at once, not tried again piece by piece, each waiting as long.
struct StoreUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The store met a passing condition and dealt with it (a pool in transaction mode gave the
// transaction another session than its statements were prepared on): the same work tried again
// succeeds, so a read is tried once more rather than answered as failed.
struct StoreRetry : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A report as received: the raw GBK bytes of every field, when and from where.
struct StoredReport {
    std::int64_t id = 0; // the store's row number, rising with every stored report
    ReportValues values;
    std::int64_t receivedAt = 0; // seconds since 1970, UTC
    std::string peer;            // network address of the sender
    // The server's rating, read back with the report; `rated` is false for a report from before
    // the server rated reports that no pass has rated yet.
    ReportRating rating;
    bool rated = false;
};

struct RecordOutcome {
    bool recorded = false; // false: the account had already reported from this machine
    ReportRank rank;       // among the rated reports; none for an unrated one
    ReportRating rating;
    std::shared_ptr<const ServerTables> tables; // the tables that rated it
};

// One line of an aggregate: a stored value (GBK bytes), or for systems and memory sizes the
// name the page gives it (UTF-8), how many reports hold it, and their average gain.
struct Tally {
    std::string label;
    std::int64_t count = 0;
    double averageGain = 0;
};

// The lists the survey page shows, each the first rows of one tally (store_schema.cpp names the
// tally of each and how many rows it shows). A new list goes before the last, which ends the
// count.
enum class SurveyList : std::size_t {
    Levels,      // as the server rates them ("1" to "5", "0" unrated)
    Processors,  // stored GBK bytes
    Adapters,    // stored GBK bytes
    Systems,     // the page's name of each stored text
    Memory,      // the page's name of each stored text
    Resolutions, // stored GBK bytes
    VideoMemory, // the page's name of each stored text
    Days,        // days since 1970 (UTC), the latest first
    // The most reported names the program's score tables do not rate (stored GBK bytes).
    UnknownProcessors,
    UnknownAdapters,
    // For each level, the machines whose adapter, processor or memory decides it ("2:gpu",
    // "2:cpu", "2:ram", ...).
    Deciding,
};
constexpr std::size_t kSurveyListCount = static_cast<std::size_t>(SurveyList::Deciding) + 1;

struct SurveyFigures {
    std::int64_t reports = 0;
    std::int64_t machines = 0; // distinct MAC addresses
    std::array<std::vector<Tally>, kSurveyListCount> lists;
    // Reports whose level code the server's rating does not give (the program's tables older).
    std::int64_t disagreeing = 0;

    std::vector<Tally>& operator[](SurveyList list)
    {
        return lists[static_cast<std::size_t>(list)];
    }
    const std::vector<Tally>& operator[](SurveyList list) const
    {
        return lists[static_cast<std::size_t>(list)];
    }
};

// What the survey's machines hold, for suggesting parts: the most reported names first.
struct ReportedNames {
    std::vector<std::string> processors, adapters;
};

// Stored reports whose processor or adapter the tables do not hold.
struct UnratedCounts {
    std::int64_t processors = 0, adapters = 0;
};

// A processor ("cpu") or adapter ("gpu") name that the score tables do not rate.
struct UnknownDevice {
    std::string kind;
    Tally tally;
};

class ReportStore {
  public:
    virtual ~ReportStore() = default;
    // Stores the reports in one transaction and returns, in order, what became of each. Once it
    // returns, the transaction is committed. Throws std::runtime_error when nothing was stored.
    virtual std::vector<RecordOutcome> Record(const std::vector<StoredReport>& reports) = 0;
    virtual SurveyFigures Summarize() = 0;
    // A trivial query; throws when the store does not answer it.
    virtual void Ping() = 0;
    // Every unknown device of the recorded reports, processors first, each kind most reported
    // first.
    virtual void ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>& visit) = 0;
    // Every stored report whose id is above `afterId`, in id order.
    virtual void ForEachReport(std::int64_t afterId,
                               const std::function<void(const StoredReport&)>& visit) = 0;
    // Rates the next `limit` stored reports after `afterId` (in id order) with the tables where
    // other tables rated them, or none (reports from before the server rated them), in one
    // transaction with the tallies that follow from their ratings. The last id looked at, or
    // nothing when there is no report after `afterId`.
    virtual std::optional<std::int64_t> Rerate(const ServerTables& tables, std::int64_t afterId,
                                               std::size_t limit) = 0;
    // Up to `limit` processor and adapter names each, most reported first.
    virtual ReportedNames MostReported(std::size_t limit) = 0;
    virtual UnratedCounts Unrated() = 0;
};

// "postgres://..." or "postgresql://..." opens a PostgreSQL connection; anything else names a
// data folder holding the SQLite file "reports.sqlite3" (created when missing). With
// `transactionPool` (a pool in transaction mode in front of PostgreSQL) every statement is sent
// with its text; otherwise each is prepared once a connection.
std::unique_ptr<ReportStore> OpenReportStore(const std::string& database,
                                             bool transactionPool = false);
bool IsPostgresUrl(const std::string& database);

std::unique_ptr<ReportStore> OpenSqliteStore(const std::string& folder);
std::unique_ptr<ReportStore> OpenPostgresStore(const std::string& url, bool transactionPool);
// A connection to a read database (a standby of the primary, or another connection string to
// it) for the page, the unknown list and the export; it writes nothing and upgrades no schema.
// One that `exports` also holds a connection to the primary, which tells how far every report
// has committed: the export waits until the read database has replayed that far.
std::unique_ptr<ReportStore> OpenPostgresReader(const std::string& primaryUrl,
                                                const std::string& readUrl, bool transactionPool,
                                                bool exports);
