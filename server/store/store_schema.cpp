#include "server/store/store_schema.hpp"

#include "eval/gain_bands.hpp"
#include "server/intake/machine_labels.hpp"
#include "server/intake/report_field_rules.hpp"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

namespace {

constexpr std::size_t kTopRows = 12;
// The order of a list by count, as the count index gives the tallies (TallySql). "tallies.n": a
// bare "n" would name a selected column of the same name, and PostgreSQL would not sort through
// the count index.
constexpr char kByCount[] = "tallies.n DESC, label";

// The tallies a report adds to by its fields, and those the page lists, one line each: a list
// added to the page is a line here, a SurveyList, the page's section for it and the schema step
// that makes its tally (schema_steps.hpp). Systems and
// memory sizes are counted under the name the page gives them, so the page reads only its top
// rows however varied the stored texts: no forged variety makes it add up many rows.
struct TallyLine {
    const char* dimension;
    // Each report counts once under this field's text, or the name `label` gives it; none: the
    // rating or the day adds to the tally.
    std::optional<ReportField> field;
    std::string (*label)(const std::string&);
    // Where the page lists the tally's first `rows` in `order`; none: it is not listed.
    std::optional<SurveyList> listed;
    const char* order;
    std::size_t rows;
};
constexpr std::size_t kLevelRows = kBandCount + 1;
constexpr TallyLine kTallies[] = {
    // The level code the program sent; the page lists the server's own rating.
    {"level", ReportField::LevelCode, nullptr, std::nullopt, nullptr, 0},
    {"true_level", std::nullopt, nullptr, SurveyList::Levels, "label", kLevelRows},
    {"cpu", ReportField::Cpu, nullptr, SurveyList::Processors, kByCount, kTopRows},
    {"gpu", ReportField::Gpu, nullptr, SurveyList::Adapters, kByCount, kTopRows},
    {"os_name", ReportField::Os, SystemName, SurveyList::Systems, kByCount, kTopRows},
    {"ram_band", ReportField::Ram, MemoryBand, SurveyList::Memory, kByCount, kTopRows},
    {"res", ReportField::Resolution, nullptr, SurveyList::Resolutions, kByCount, kTopRows},
    {"vram_band", ReportField::TotalVideoMem, MemoryBand, SurveyList::VideoMemory, kByCount,
     kTopRows},
    {"day", std::nullopt, nullptr, SurveyList::Days, "label DESC", 30},
    {"cpu_unknown", std::nullopt, nullptr, SurveyList::UnknownProcessors, kByCount, kTopRows},
    {"gpu_unknown", std::nullopt, nullptr, SurveyList::UnknownAdapters, kByCount, kTopRows},
    {"deciding", std::nullopt, nullptr, SurveyList::Deciding, "label", 3 * kBandCount},
};

// The line of the page's list; every list has one (checked below).
constexpr const TallyLine& LineOf(SurveyList list)
{
    std::size_t at = 0;
    while (at + 1 < std::size(kTallies) && kTallies[at].listed != list)
        ++at;
    return kTallies[at];
}

constexpr bool EveryListHasOneLine()
{
    for (std::size_t list = 0; list < kSurveyListCount; ++list) {
        int lines = 0;
        for (const TallyLine& line : kTallies)
            lines += line.listed == static_cast<SurveyList>(list) ? 1 : 0;
        if (lines != 1)
            return false;
    }
    return true;
}
static_assert(EveryListHasOneLine(), "each SurveyList needs exactly one line in kTallies");

constexpr const char* TallyOf(SurveyList list)
{
    return LineOf(list).dimension;
}

// Tallies of a dimension summed over the tallies and the writers' rows not moved to them yet (of
// the labels `labels` selects from both, or all), those that sum to nothing (a rating taken back)
// left out.
std::string SummedSql(const std::string& dimension, const std::string& labels,
                      const std::string& order, std::size_t limit)
{
    const std::string rows = "SELECT label, n, gained, gain_sum FROM ";
    const std::string where = " WHERE dimension = '" + dimension + "'" +
                              (labels.empty() ? "" : " AND label IN (" + labels + ")");
    return "SELECT label, CAST(sum(n) AS TEXT), CAST(sum(gain_sum) AS TEXT), CAST(sum(gained) AS "
           "TEXT) FROM (" +
           rows + "tallies" + where + " UNION ALL " + rows + "writer_tallies" + where +
           ") AS counted GROUP BY label HAVING sum(n) > 0 ORDER BY " + order + " LIMIT " +
           std::to_string(limit);
}

// A dimension's first tallies in `order`. In label order ("label", "label DESC") for dimensions of
// few labels. By count (kByCount) through the count index however many labels there are: writers'
// rows only add, and few are not yet moved to the tallies, so a label outside the tallies' first
// `limit` without a writer's row counts no more than each of those, which rank before it, and the
// first of these labels' sums are the first of all.
std::string TallySql(const std::string& dimension, const std::string& order, std::size_t limit)
{
    if (order != kByCount)
        return SummedSql(dimension, "", order, limit);
    return SummedSql(
        dimension,
        "SELECT label FROM (SELECT label FROM tallies WHERE dimension = '" + dimension +
            "' ORDER BY " + kByCount + " LIMIT " + std::to_string(limit) +
            ") AS first UNION ALL SELECT label FROM writer_tallies WHERE dimension = '" +
            dimension + "'",
        "sum(n) DESC, label", limit);
}

// Devices the score tables do not rate, by kind: what the next tables should add.
struct UnknownDimension {
    SurveyList list;
    ReportField field;
    unsigned device; // its class bit
};
constexpr UnknownDimension kUnknown[] = {
    {SurveyList::UnknownProcessors, ReportField::Cpu, kProcessorClass},
    {SurveyList::UnknownAdapters, ReportField::Gpu, kAdapterClass}};
constexpr char kUnknownSuffix[] = "_unknown";

// "'a', 'b'": the unknown devices' dimensions.
std::string UnknownDimensionList()
{
    std::string list;
    for (const UnknownDimension& unknown : kUnknown)
        list += (list.empty() ? "'" : ", '") + std::string(TallyOf(unknown.list)) + "'";
    return list;
}

// The tallies that follow from a report's rating, which the tables' next version may change:
// the levels, what decides them, the rank, the unknown devices, the unrated counts and the
// reports whose level code disagrees.
constexpr const char* kRatingDimensions[] = {TallyOf(SurveyList::Levels),
                                             TallyOf(SurveyList::Deciding),
                                             "rank_key",
                                             "unrated",
                                             "disagree",
                                             TallyOf(SurveyList::UnknownProcessors),
                                             TallyOf(SurveyList::UnknownAdapters)};

// The rating's columns beside the report's, in this order; the last is the tables' digest.
constexpr const char* kRatingColumns[] = {"srv_level",   "cpu_score",       "gpu_score",
                                          "cpu_band",    "gpu_band",        "mem_band",
                                          "low_devices", "unknown_devices", "rated_with"};

// Adds one report to (sign 1) or takes it from (sign -1) a tally.
void AddStep(TallyChanges& changes, std::string_view dimension, std::string_view label,
             std::optional<std::int64_t> gain, int sign)
{
    auto at = changes.find(std::pair(dimension, label));
    if (at == changes.end())
        at = changes.emplace(std::pair<std::string, std::string>(dimension, label), TallyStep())
                 .first;
    TallyStep& step = at->second;
    step.count += sign;
    // The average gain is of the machines the program rated: an unrated one reports 0.
    const bool gained = gain && *gain > 0;
    step.gained += gained ? sign : 0;
    // Gains are bounded on arrival; a sum that still overflows fails the transaction.
    if (gained && __builtin_add_overflow(step.gainSum, sign * *gain, &step.gainSum))
        throw std::overflow_error("gain sum out of range");
}

// Columns label, count, gain sum, gained (as TallySql selects them).
Tally TallyFromRow(const ResultRow& row)
{
    const double gained = std::atof(row.at(3).c_str());
    return {row.at(0), std::atoll(row.at(1).c_str()),
            gained > 0 ? std::atof(row.at(2).c_str()) / gained : 0};
}

std::vector<Tally> TalliesFrom(const ResultRows& rows)
{
    std::vector<Tally> tallies;
    for (const ResultRow& row : rows)
        tallies.push_back(TallyFromRow(row));
    return tallies;
}

std::int64_t CountOf(const ResultRows& rows)
{
    return rows.empty() ? 0 : std::atoll(rows[0].at(1).c_str());
}

// What StoredRating reads, as text.
const std::string kStoredRatingColumns =
    "CAST(srv_level AS TEXT), CAST(cpu_score AS TEXT), CAST(gpu_score AS TEXT), CAST(mem_band AS "
    "TEXT), CAST(unknown_devices AS TEXT)";

// The rating stored in a row's columns from `at` on: level, processor and adapter scores,
// memory band, unknown classes (as SelectReportsSql and RerateSelectSql read them); none when
// they are empty (a report from before the server rated them).
ReportRating StoredRating(const ResultRow& row, std::size_t at)
{
    if (row.at(at).empty())
        return {};
    const int memoryBand = std::clamp(std::atoi(row.at(at + 3).c_str()), 0, kMemoryBandCount - 1);
    return RatingFromColumns(std::atoi(row.at(at + 1).c_str()), std::atoi(row.at(at + 2).c_str()),
                             memoryBand, static_cast<unsigned>(std::atoi(row.at(at + 4).c_str())));
}

} // namespace

std::string ReportColumns()
{
    std::string columns;
    for (const ReportFieldSpec& field : kReportFields)
        columns += (columns.empty() ? "" : ", ") + std::string(field.name);
    return columns;
}

std::string ValuesSql(int count, const std::function<std::string(int)>& placeholder)
{
    std::string values;
    for (int i = 1; i <= count; ++i)
        values += (i > 1 ? ", " : "") + placeholder(i);
    return "VALUES (" + values + ")";
}

std::string InsertReportSql(const std::string& rows)
{
    return "INSERT INTO reports (received, peer, gain, " + ReportColumns() + ") " + rows;
}

std::string SelectReportsSql(const std::function<std::string(int)>& placeholder, int limit)
{
    return "SELECT CAST(id AS TEXT), CAST(received AS TEXT), peer, " + ReportColumns() + ", " +
           kStoredRatingColumns + " FROM reports WHERE reports.id > " + placeholder(1) +
           " AND reports.id <= " + placeholder(2) + " ORDER BY reports.id LIMIT " +
           std::to_string(limit);
}

std::string StoredReportSql(const std::function<std::string(int)>& placeholder)
{
    return "SELECT CAST(received AS TEXT), " + ReportColumns() +
           " FROM reports WHERE u = " + placeholder(1) + " AND mc = " + placeholder(2);
}

bool IsRepost(const StoredReport& sent, const ResultRow& stored)
{
    if (stored.size() != 1 + kReportFieldCount)
        return false;
    const std::int64_t since = sent.receivedAt - std::atoll(stored[0].c_str());
    return since >= 0 && since <= kRepostSeconds &&
           std::equal(sent.values.begin(), sent.values.end(), stored.begin() + 1);
}

std::string InsertRatedReportSql(const std::string& rows)
{
    return "INSERT INTO reports (received, peer, gain, " + ReportColumns() + ", " +
           RatingColumns() + ") " + rows;
}

void AddRatingTallies(TallyChanges& changes, const ReportValues& values, const ReportRating& rating,
                      int sign)
{
    const std::optional<std::int64_t> gain = GainOf(values);
    const LevelRating& level = rating.level;
    const auto add = [&](std::string_view dimension, std::string_view label) {
        AddStep(changes, dimension, label, gain, sign);
    };
    add(TallyOf(SurveyList::Levels), std::to_string(level.level));
    const unsigned deciding = DecidingClasses(level);
    const std::pair<unsigned, const char*> classes[] = {
        {kAdapterClass, "gpu"}, {kProcessorClass, "cpu"}, {kMemoryClass, "ram"}};
    for (const auto& [device, name] : classes) {
        // Nothing decides level 1: there is no level above it.
        if ((deciding & device) && level.level > 1)
            add(TallyOf(SurveyList::Deciding), std::to_string(level.level) + ":" + name);
        if (rating.unknown & device)
            add("unrated", name);
    }
    if (const std::optional<std::int64_t> key = RankKey(level))
        add("rank_key", std::to_string(*key));
    for (const UnknownDimension& unknown : kUnknown)
        if (rating.unknown & unknown.device)
            add(TallyOf(unknown.list), At(values, unknown.field));
    const std::string code = level.level ? kReportedLevelCodes[level.level - 1] : "";
    if (code != At(values, ReportField::LevelCode))
        add("disagree", "");
}

void AddToTallies(TallyChanges& changes, const StoredReport& report, const ReportRating* rating,
                  bool newMachine)
{
    const std::optional<std::int64_t> gain = GainOf(report.values);
    const auto add = [&](std::string_view dimension, std::string_view label) {
        AddStep(changes, dimension, label, gain, 1);
    };
    add("reports", "");
    if (newMachine)
        add("machines", "");
    for (const TallyLine& line : kTallies) {
        if (!line.field)
            continue;
        const std::string& text = At(report.values, *line.field);
        add(line.dimension, line.label ? line.label(text) : text);
    }
    // Days since 1970 (UTC); five digits until the year 2243, so text order is time order.
    add(TallyOf(SurveyList::Days), std::to_string(report.receivedAt / 86400));
    if (rating)
        AddRatingTallies(changes, report.values, *rating, 1);
}

std::string AddTallySql(const std::string& rows)
{
    return "INSERT INTO tallies (dimension, label, n, gained, gain_sum) " + rows +
           " ON CONFLICT (dimension, label) DO UPDATE SET n = tallies.n + excluded.n, "
           "gained = tallies.gained + excluded.gained, "
           "gain_sum = tallies.gain_sum + excluded.gain_sum";
}

std::string RankTallySql()
{
    return "SELECT label, CAST(sum(n) AS TEXT) FROM (SELECT label, n FROM tallies WHERE dimension "
           "= 'rank_key' UNION ALL SELECT label, n FROM writer_tallies WHERE dimension = "
           "'rank_key') AS counted GROUP BY label";
}

namespace {

// The report fields the tallies count, each once.
const std::vector<ReportField>& TalliedFields()
{
    static const std::vector<ReportField> fields = [] {
        std::vector<ReportField> list = {ReportField::Gain};
        const auto add = [&](ReportField field) {
            if (std::find(list.begin(), list.end(), field) == list.end())
                list.push_back(field);
        };
        for (const TallyLine& line : kTallies)
            if (line.field)
                add(*line.field);
        for (const UnknownDimension& unknown : kUnknown)
            add(unknown.field);
        return list;
    }();
    return fields;
}

} // namespace

std::string TallySourceSql(std::int64_t afterId, std::size_t limit, bool rated)
{
    std::string sql = "SELECT CAST(id AS TEXT), CAST(received AS TEXT)";
    for (const ReportField field : TalliedFields())
        sql += std::string(", ") + kReportFields[static_cast<std::size_t>(field)].name;
    if (rated)
        sql += ", " + kStoredRatingColumns;
    return sql + " FROM reports WHERE reports.id > " + std::to_string(afterId) +
           " ORDER BY reports.id LIMIT " + std::to_string(limit);
}

StoredReport TallySourceFromRow(const ResultRow& row, bool rated)
{
    StoredReport report;
    report.id = std::atoll(row.at(0).c_str());
    report.receivedAt = std::atoll(row.at(1).c_str());
    const std::vector<ReportField>& fields = TalliedFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        report.values[static_cast<std::size_t>(fields[i])] = row.at(2 + i);
    if (rated) {
        report.rating = StoredRating(row, 2 + fields.size());
        report.rated = !row.at(2 + fields.size()).empty();
    } else {
        // Before the rating's columns, the rating tallies were of the tables in use; the step
        // that adds the columns clears them.
        report.rating = RateReport(*CurrentServerTables(), report.values);
        report.rated = true;
    }
    return report;
}

std::string MachineTallySql(const std::string& byteType)
{
    // The gain of a machine the program did not rate (0) is no gain, as in AddToTallies.
    return "INSERT INTO tallies (dimension, label, n, gained, gain_sum) SELECT 'machines', CAST('' "
           "AS " +
           byteType +
           "), n, gained, gain_sum FROM (SELECT count(*) AS n, count(CASE WHEN gain > 0 THEN 1 "
           "END) AS gained, coalesce(sum(CASE WHEN gain > 0 THEN gain END), 0) AS gain_sum FROM "
           "reports WHERE id IN (SELECT min(id) FROM reports GROUP BY mc)) AS first_reports WHERE "
           "n > 0";
}

std::string UnknownDevicesSql()
{
    const auto rows = [](const std::string& table) {
        return "SELECT dimension, label, n, gained, gain_sum FROM " + table +
               " WHERE dimension IN (" + UnknownDimensionList() + ")";
    };
    return "SELECT label, CAST(sum(n) AS TEXT), CAST(sum(gain_sum) AS TEXT), CAST(sum(gained) AS "
           "TEXT), dimension FROM (" +
           rows("tallies") + " UNION ALL " + rows("writer_tallies") +
           ") AS counted GROUP BY dimension, label HAVING sum(n) > 0 ORDER BY dimension, sum(n) "
           "DESC, label";
}

UnknownDevice UnknownDeviceFromRow(const ResultRow& row)
{
    const std::string& dimension = row.at(4);
    return {dimension.substr(0, dimension.size() - (sizeof kUnknownSuffix - 1)), TallyFromRow(row)};
}

const std::vector<std::string>& SurveyQueries()
{
    static const std::vector<std::string> queries = [] {
        std::vector<std::string> list = {TallySql("reports", "label", 1),
                                         TallySql("machines", "label", 1)};
        for (std::size_t i = 0; i < kSurveyListCount; ++i) {
            const TallyLine& line = LineOf(static_cast<SurveyList>(i));
            list.push_back(TallySql(line.dimension, line.order, line.rows));
        }
        list.push_back(TallySql("disagree", "label", 1));
        return list;
    }();
    return queries;
}

SurveyFigures FiguresFromRows(const std::vector<ResultRows>& results)
{
    SurveyFigures figures;
    figures.reports = CountOf(results.at(0));
    figures.machines = CountOf(results.at(1));
    for (std::size_t i = 0; i < kSurveyListCount; ++i)
        figures.lists[i] = TalliesFrom(results.at(2 + i));
    figures.disagreeing = CountOf(results.at(2 + kSurveyListCount));
    // A level the tables' next version emptied keeps its row at 0 until it is pruned.
    std::vector<Tally>& levels = figures[SurveyList::Levels];
    levels.erase(std::remove_if(levels.begin(), levels.end(),
                                [](const Tally& level) { return level.count <= 0; }),
                 levels.end());
    return figures;
}

StoredReport ReportFromRow(const ResultRow& row)
{
    StoredReport report;
    report.id = std::atoll(row.at(0).c_str());
    report.receivedAt = std::atoll(row.at(1).c_str());
    report.peer = row.at(2);
    for (std::size_t i = 0; i < kReportFieldCount; ++i)
        report.values[i] = row.at(3 + i);
    report.rating = StoredRating(row, 3 + kReportFieldCount);
    report.rated = !row.at(3 + kReportFieldCount).empty();
    return report;
}

RankCounts RankCountsFrom(const ResultRows& rows)
{
    RankCounts counts;
    counts.reserve(rows.size());
    for (const ResultRow& row : rows)
        counts.emplace_back(std::atoll(row.at(0).c_str()), std::atoll(row.at(1).c_str()));
    return counts;
}

ReportRank RankIn(const RankCounts& rankCounts, const LevelRating& rating)
{
    ReportRank rank;
    const std::optional<std::int64_t> key = RankKey(rating);
    if (!key)
        return rank;
    for (const auto& [counted, count] : rankCounts) {
        rank.total += count;
        if (counted < *key)
            rank.below += count;
    }
    return rank;
}

std::string RatingColumns()
{
    std::string columns;
    for (const char* column : kRatingColumns)
        columns += (columns.empty() ? "" : ", ") + std::string(column);
    return columns;
}

std::array<std::int64_t, kRatingNumbers> RatingNumbers(const ReportRating& rating)
{
    const LevelRating& l = rating.level;
    return {l.level,   l.cpuScore,   l.gpuScore,   l.cpuBand,
            l.gpuBand, l.memoryBand, l.lowDevices, rating.unknown};
}

std::string RatingUpdateSql(const std::function<std::string(int)>& value)
{
    std::string sql = "UPDATE reports SET ";
    for (std::size_t i = 0; i < std::size(kRatingColumns); ++i)
        sql += (i ? ", " : "") + std::string(kRatingColumns[i]) + " = " + value(2 + i);
    return sql;
}

std::string RerateSelectSql(const std::function<std::string(int)>& placeholder)
{
    return "SELECT CAST(id AS TEXT), cpu, dm, mm, lcc, hl, s, " + kStoredRatingColumns +
           ", rated_with FROM reports WHERE id > " + placeholder(1) +
           " ORDER BY reports.id LIMIT " + placeholder(2);
}

std::optional<RatingUpdate> RerateRow(const ResultRow& row, const ServerTables& tables,
                                      TallyChanges& changes)
{
    if (row.at(12) == tables.digest)
        return std::nullopt;
    ReportValues values;
    const ReportField fields[] = {ReportField::Cpu,       ReportField::Gpu,
                                  ReportField::Ram,       ReportField::LogicCoreCount,
                                  ReportField::LevelCode, ReportField::Gain};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        values[static_cast<std::size_t>(fields[i])] = row.at(1 + i);
    // Rated before by other tables: what that rating added is taken back.
    if (!row.at(12).empty())
        AddRatingTallies(changes, values, StoredRating(row, 7), -1);
    RatingUpdate update{std::atoll(row.at(0).c_str()), RateReport(tables, values)};
    AddRatingTallies(changes, values, update.rating, 1);
    return update;
}

std::string PruneRatingTalliesSql()
{
    std::string dimensions;
    for (const char* dimension : kRatingDimensions)
        dimensions += (dimensions.empty() ? "'" : ", '") + std::string(dimension) + "'";
    // A rating is taken back from the tallies, which may hold less than nothing until the
    // writer's row that added it is moved there: only tallies of no count and no gain go.
    return "DELETE FROM tallies WHERE n = 0 AND gained = 0 AND gain_sum = 0 AND dimension IN (" +
           dimensions + ")";
}

std::string MostReportedSql(const char* dimension, std::size_t limit)
{
    return TallySql(dimension, kByCount, limit);
}

std::string UnratedSql()
{
    return TallySql("unrated", "label", 3);
}

UnratedCounts UnratedFrom(const ResultRows& rows)
{
    UnratedCounts counts;
    for (const ResultRow& row : rows) {
        if (row.at(0) == "cpu")
            counts.processors = std::atoll(row.at(1).c_str());
        else if (row.at(0) == "gpu")
            counts.adapters = std::atoll(row.at(1).c_str());
    }
    return counts;
}
