#pragma once
// What both engines share of the database: column lists, the running tallies behind the page
// and the rank, and how query rows become figures. Every query returns text or byte columns
// only, so both engines read their results the same way.
//
// The page must stay fast however many reports there are, so it never scans the reports: each
// recorded report adds to small tallies (per level, processor, adapter, system name, memory
// band, resolution, day and gain) in the same transaction.
#include "server/store/report_store.hpp"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using ResultRow = std::vector<std::string>;
using ResultRows = std::vector<ResultRow>;

// "u, mc, ..., tk": the twenty report columns, named after the form fields.
std::string ReportColumns();

// "VALUES (p1, ..., pn)" where `placeholder` gives the text of the n-th parameter (1-based).
std::string ValuesSql(int count, const std::function<std::string(int)>& placeholder);

// The rating's columns: "srv_level, cpu_score, ..., rated_with" (all NULL in a report from before
// the server rated reports, until it is rated).
std::string RatingColumns();
// The rating's columns but the last (the tables' digest) as numbers.
constexpr std::size_t kRatingNumbers = 8;
std::array<std::int64_t, kRatingNumbers> RatingNumbers(const ReportRating& rating);

// The insert of reports from `rows` (VALUES or a SELECT): time, peer, gain, then the twenty
// fields; and the same with the rating's columns after them.
std::string InsertReportSql(const std::string& rows);
std::string InsertRatedReportSql(const std::string& rows);

// "SELECT id, received, peer, u, ..., tk, <the rating> FROM reports" with every column as text, of
// the ids above parameter 1 and at most parameter 2, at most `limit` of them (-1: all), in id
// order. The order is the primary key's (reports.id, not the text column of the same name), so the
// rows stream from the index without a sort.
std::string SelectReportsSql(const std::function<std::string(int)>& placeholder, int limit);

// What one transaction adds to the tallies, keyed (dimension, label) and so kept in one order:
// concurrent transactions then take the tallies' row locks in the same order.
struct TallyStep {
    std::int64_t count = 0;
    std::int64_t gained = 0; // reports with a numeric gain
    std::int64_t gainSum = 0;
};
// Found by views of a key as well: adding a report to a batch's changes copies a label only
// when it is new there.
struct TallyKeyOrder {
    using is_transparent = void;
    template <typename A, typename B> bool operator()(const A& a, const B& b) const
    {
        using View = std::pair<std::string_view, std::string_view>;
        return View(a.first, a.second) < View(b.first, b.second);
    }
};
using TallyChanges = std::map<std::pair<std::string, std::string>, TallyStep, TallyKeyOrder>;

// Adds a newly recorded report, with its rating; `newMachine` when its MAC had not been recorded
// before.
// Without a rating (a report not rated yet) the rating's tallies are left to the pass that rates
// it.
void AddToTallies(TallyChanges& changes, const StoredReport& report, const ReportRating* rating,
                  bool newMachine);

// Adds (sign 1) or takes back (sign -1) what a rating adds to the tallies: the level, the parts
// that decide it, the rank, the unknown devices, the unrated counts and whether the level code
// the program sent disagrees. Only the processor, adapter, level code and gain of the values are
// read.
void AddRatingTallies(TallyChanges& changes, const ReportValues& values, const ReportRating& rating,
                      int sign);

// The upsert of tally steps from `rows` (VALUES or a SELECT): dimension, label, count, gained,
// gain sum; each key at most once.
std::string AddTallySql(const std::string& rows);

// The (rank key, count) rows for the rank: one per key that rated reports hold, with what
// writers have not moved to the tallies yet.
std::string RankTallySql();

// The reports after `afterId` in id order, at most `limit`, with what the tallies count (id,
// time, the counted fields and, with `rated`, the stored rating; the other fields are left
// empty): tallies are rebuilt from the rows in batches of these. Without the rating's columns
// (a schema from before them) the rows are rated with the tables in use.
std::string TallySourceSql(std::int64_t afterId, std::size_t limit, bool rated);
StoredReport TallySourceFromRow(const ResultRow& row, bool rated);

// The "machines" tally as the reports make it: one count a MAC, with the gain of its first
// report. `byteType` is the engine's type for raw bytes.
std::string MachineTallySql(const std::string& byteType);

// Every unknown-device tally, processors first, each kind most reported first; a row of it as
// an UnknownDevice.
std::string UnknownDevicesSql();
UnknownDevice UnknownDeviceFromRow(const ResultRow& row);

// The queries of the page, in the order FiguresFromRows expects.
const std::vector<std::string>& SurveyQueries();
SurveyFigures FiguresFromRows(const std::vector<ResultRows>& results);

// A report refused as its account and MAC were stored is a second post of the stored one (a
// retry of an answer the sender never saw: a lost connection, a commit whose outcome was
// unknown) when it is the identical report, token included, received within this many seconds
// of the first; it is answered as the first was, and counted nowhere.
constexpr std::int64_t kRepostSeconds = 300;

// The stored report of account parameter 1 and MAC parameter 2: its time, then its fields.
std::string StoredReportSql(const std::function<std::string(int)>& placeholder);
// Whether `sent` is a second post of the row of StoredReportSql().
bool IsRepost(const StoredReport& sent, const ResultRow& stored);

// A report from one row of SelectReportsSql().
StoredReport ReportFromRow(const ResultRow& row);

// The (rank key, count) rows of RankTallySql() as numbers, read once for a whole batch.
using RankCounts = std::vector<std::pair<std::int64_t, std::int64_t>>;
RankCounts RankCountsFrom(const ResultRows& rows);

// Where a rating stands among the counted keys; nothing for an unrated one.
ReportRank RankIn(const RankCounts& rankCounts, const LevelRating& rating);

// "UPDATE reports SET srv_level = v(2), ..., rated_with = v(10)": the engine adds which row.
std::string RatingUpdateSql(const std::function<std::string(int)>& value);

// The next stored reports for rating again: id, cpu, dm, mm, lcc, hl, s, the stored rating and
// the digest of the tables that made it; after id (parameter 1), at most (parameter 2).
std::string RerateSelectSql(const std::function<std::string(int)>& placeholder);
// A row of that rated with `tables`, its old rating's tallies taken back and the new one's
// added; nothing when those tables rated it already.
struct RatingUpdate {
    std::int64_t id;
    ReportRating rating;
};
std::optional<RatingUpdate> RerateRow(const ResultRow& row, const ServerTables& tables,
                                      TallyChanges& changes);
// Removes the tallies of the rating that ratings taken back left at 0.
std::string PruneRatingTalliesSql();

// The most reported names of a dimension ("cpu", "gpu"), as the page's top lists read them.
std::string MostReportedSql(const char* dimension, std::size_t limit);
std::string UnratedSql();
UnratedCounts UnratedFrom(const ResultRows& rows);
