#include "server/store/store_schema.hpp"

#include "server/intake/device_ratings.hpp"
#include "server/intake/machine_labels.hpp"
#include "server/intake/report_field_rules.hpp"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

namespace {

constexpr std::size_t kTopRows = 12;

// Dimensions of the page, in SurveyFigures order, with the report field each one counts. Systems
// and memory sizes are counted under the name the page gives them, so the page reads only its
// top rows however varied the stored texts: no forged variety makes it add up many rows.
struct Dimension {
    const char* name;
    ReportField field;
    std::string (*label)(const std::string&); // the name of a stored text; none: the text itself
};
constexpr Dimension kListed[] = {{"level", ReportField::LevelCode, nullptr},
                                 {"cpu", ReportField::Cpu, nullptr},
                                 {"gpu", ReportField::Gpu, nullptr},
                                 {"os_name", ReportField::Os, SystemName},
                                 {"ram_band", ReportField::Ram, MemoryBand},
                                 {"res", ReportField::Resolution, nullptr},
                                 {"vram_band", ReportField::TotalVideoMem, MemoryBand}};
// The levels list in their own order; the dimensions after them by count.
constexpr std::size_t kFirstByCount = 1;

std::string TallySql(const std::string& dimension, const std::string& order, std::size_t limit)
{
    return "SELECT label, CAST(n AS TEXT), CAST(gain_sum AS TEXT), CAST(gained AS TEXT) FROM "
           "tallies WHERE dimension = '" +
           dimension + "' ORDER BY " + order + " LIMIT " + std::to_string(limit);
}

// Devices the score tables do not rate, by kind, counted beside the "cpu" and "gpu" tallies.
struct UnknownDimension {
    const char* name;
    ReportField field;
    bool (*rated)(const std::string&);
};
constexpr UnknownDimension kUnknown[] = {{"cpu_unknown", ReportField::Cpu, ProcessorIsRated},
                                         {"gpu_unknown", ReportField::Gpu, AdapterIsRated}};
constexpr char kUnknownSuffix[] = "_unknown";

// "'a', 'b'": the unknown devices' dimensions.
std::string UnknownDimensionList()
{
    std::string list;
    for (const UnknownDimension& unknown : kUnknown)
        list += (list.empty() ? "'" : ", '") + std::string(unknown.name) + "'";
    return list;
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
    return "SELECT CAST(id AS TEXT), CAST(received AS TEXT), peer, " + ReportColumns() +
           " FROM reports WHERE reports.id > " + placeholder(1) +
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

void AddToTallies(TallyChanges& changes, const StoredReport& report, bool newMachine)
{
    const std::optional<std::int64_t> gain = GainOf(report.values);
    const auto add = [&](std::string_view dimension, std::string_view label) {
        auto at = changes.find(std::pair(dimension, label));
        if (at == changes.end())
            at = changes.emplace(std::pair<std::string, std::string>(dimension, label), TallyStep())
                     .first;
        TallyStep& step = at->second;
        ++step.count;
        step.gained += gain.has_value();
        // Gains are bounded on arrival; a sum that still overflows fails the transaction.
        if (__builtin_add_overflow(step.gainSum, gain.value_or(0), &step.gainSum))
            throw std::overflow_error("gain sum out of range");
    };
    add("reports", "");
    if (newMachine)
        add("machines", "");
    for (const Dimension& dimension : kListed) {
        const std::string& text = At(report.values, dimension.field);
        add(dimension.name, dimension.label ? dimension.label(text) : text);
    }
    // Days since 1970 (UTC); five digits until the year 2243, so text order is time order.
    add("day", std::to_string(report.receivedAt / 86400));
    // Names the program's tables do not rate, so the next tables can add them.
    for (const UnknownDimension& unknown : kUnknown) {
        const std::string& name = At(report.values, unknown.field);
        if (!unknown.rated(name))
            add(unknown.name, name);
    }
    // The rank reads one row per allowed gain, however varied the stored gains.
    if (gain && std::binary_search(AllowedGains().begin(), AllowedGains().end(), *gain))
        add("rank", std::to_string(*gain));
}

std::string AddTallySql(const std::string& rows)
{
    return "INSERT INTO tallies (dimension, label, n, gained, gain_sum) " + rows +
           " ON CONFLICT (dimension, label) DO UPDATE SET n = tallies.n + excluded.n, "
           "gained = tallies.gained + excluded.gained, "
           "gain_sum = tallies.gain_sum + excluded.gain_sum";
}

std::string GainTallySql()
{
    return "SELECT label, CAST(n AS TEXT) FROM tallies WHERE dimension = 'rank'";
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
        for (const Dimension& dimension : kListed)
            add(dimension.field);
        for (const UnknownDimension& unknown : kUnknown)
            add(unknown.field);
        return list;
    }();
    return fields;
}

} // namespace

std::string TallySourceSql(std::int64_t afterId, std::size_t limit)
{
    std::string sql = "SELECT CAST(id AS TEXT), CAST(received AS TEXT)";
    for (const ReportField field : TalliedFields())
        sql += std::string(", ") + kReportFields[static_cast<std::size_t>(field)].name;
    return sql + " FROM reports WHERE reports.id > " + std::to_string(afterId) +
           " ORDER BY reports.id LIMIT " + std::to_string(limit);
}

StoredReport TallySourceFromRow(const ResultRow& row)
{
    StoredReport report;
    report.id = std::atoll(row.at(0).c_str());
    report.receivedAt = std::atoll(row.at(1).c_str());
    const std::vector<ReportField>& fields = TalliedFields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        report.values[static_cast<std::size_t>(fields[i])] = row.at(2 + i);
    return report;
}

std::string MachineTallySql(const std::string& byteType)
{
    return "INSERT INTO tallies (dimension, label, n, gained, gain_sum) SELECT 'machines', CAST('' "
           "AS " +
           byteType +
           "), n, gained, gain_sum FROM (SELECT count(*) AS n, count(gain) AS gained, "
           "coalesce(sum(gain), 0) AS gain_sum FROM reports WHERE id IN (SELECT min(id) FROM "
           "reports GROUP BY mc)) AS first_reports WHERE n > 0";
}

std::string UnknownDevicesSql()
{
    return "SELECT label, CAST(n AS TEXT), CAST(gain_sum AS TEXT), CAST(gained AS TEXT), "
           "dimension FROM tallies WHERE dimension IN (" +
           UnknownDimensionList() + ") ORDER BY dimension, tallies.n DESC, label";
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
        list.push_back(TallySql("level", "label", kTopRows));
        for (std::size_t i = kFirstByCount; i < std::size(kListed); ++i)
            // "tallies.n": a bare "n" would name the text column of the same name, and
            // PostgreSQL would sort by the count's text and not through the count index.
            list.push_back(TallySql(kListed[i].name, "tallies.n DESC, label", kTopRows));
        list.push_back(TallySql("day", "label DESC", 30));
        for (const UnknownDimension& unknown : kUnknown)
            list.push_back(TallySql(unknown.name, "tallies.n DESC, label", kTopRows));
        return list;
    }();
    return queries;
}

SurveyFigures FiguresFromRows(const std::vector<ResultRows>& results)
{
    SurveyFigures figures;
    figures.reports = CountOf(results.at(0));
    figures.machines = CountOf(results.at(1));
    std::vector<Tally>* lists[] = {
        &figures.levels,         &figures.processors, &figures.adapters,
        &figures.systems,        &figures.memory,     &figures.resolutions,
        &figures.videoMemory,    &figures.days,       &figures.unknownProcessors,
        &figures.unknownAdapters};
    for (std::size_t i = 0; i < std::size(lists); ++i)
        *lists[i] = TalliesFrom(results.at(i + 2));
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
    return report;
}

GainCounts GainCountsFrom(const ResultRows& rows)
{
    GainCounts counts;
    counts.reserve(rows.size());
    for (const ResultRow& row : rows)
        counts.emplace_back(std::atoll(row.at(0).c_str()), std::atoll(row.at(1).c_str()));
    return counts;
}

GainRank RankIn(const GainCounts& gainCounts, std::int64_t gain)
{
    GainRank rank;
    for (const auto& [counted, count] : gainCounts) {
        rank.total += count;
        if (counted < gain)
            rank.below += count;
    }
    return rank;
}
