#include "server/store_schema.hpp"

#include <cmath>
#include <cstdlib>

namespace {

constexpr std::size_t kTopRows = 12;

// label, count, average gain of one column over all reports, most frequent first.
std::string AggregateSql(const std::string& column, std::size_t limit)
{
    std::string sql = "SELECT " + column + ", CAST(count(*) AS TEXT), CAST(avg(gain) AS TEXT) " +
                      "FROM reports GROUP BY 1 ORDER BY count(*) DESC, 1";
    if (limit)
        sql += " LIMIT " + std::to_string(limit);
    return sql;
}

std::vector<Tally> TalliesFrom(const ResultRows& rows)
{
    std::vector<Tally> tallies;
    for (const ResultRow& row : rows)
        tallies.push_back({row.at(0), std::atoll(row.at(1).c_str()), std::atof(row.at(2).c_str())});
    return tallies;
}

} // namespace

std::string ReportColumns()
{
    std::string columns;
    for (const char* name : kReportFieldNames)
        columns += (columns.empty() ? "" : ", ") + std::string(name);
    return columns;
}

std::string InsertReportSql(const std::function<std::string(int)>& placeholder)
{
    std::string values;
    for (int i = 1; i <= 3 + static_cast<int>(kReportFieldCount); ++i)
        values += (i > 1 ? ", " : "") + placeholder(i);
    return "INSERT INTO reports (received, peer, gain, " + ReportColumns() + ") VALUES (" + values +
           ")";
}

std::string SelectReportsSql()
{
    return "SELECT CAST(received AS TEXT), peer, " + ReportColumns() + " FROM reports ORDER BY id";
}

const std::vector<std::string>& SurveyQueries()
{
    static const std::vector<std::string> queries = {
        "SELECT CAST(count(*) AS TEXT), CAST(count(DISTINCT mc) AS TEXT) FROM reports",
        // Levels and days are few and shown in their own order.
        "SELECT hl, CAST(count(*) AS TEXT), CAST(avg(gain) AS TEXT) FROM reports GROUP BY hl "
        "ORDER BY hl",
        AggregateSql("cpu", kTopRows),
        AggregateSql("dm", kTopRows),
        AggregateSql("os", kTopRows),
        AggregateSql("mm", kTopRows),
        AggregateSql("rs", kTopRows),
        "SELECT CAST(received / 86400 AS TEXT), CAST(count(*) AS TEXT), CAST(avg(gain) AS TEXT) "
        "FROM reports GROUP BY received / 86400 ORDER BY received / 86400 DESC LIMIT 30",
    };
    return queries;
}

SurveyFigures FiguresFromRows(const std::vector<ResultRows>& results)
{
    SurveyFigures figures;
    if (!results.at(0).empty()) {
        figures.reports = std::atoll(results[0][0].at(0).c_str());
        figures.machines = std::atoll(results[0][0].at(1).c_str());
    }
    std::vector<Tally>* lists[] = {&figures.levels,  &figures.processors, &figures.adapters,
                                   &figures.systems, &figures.memory,     &figures.resolutions,
                                   &figures.days};
    for (std::size_t i = 0; i < std::size(lists); ++i)
        *lists[i] = TalliesFrom(results.at(i + 1));
    return figures;
}

StoredReport ReportFromRow(const ResultRow& row)
{
    StoredReport report;
    report.receivedAt = std::atoll(row.at(0).c_str());
    report.peer = row.at(1);
    for (std::size_t i = 0; i < kReportFieldCount; ++i)
        report.values[i] = row.at(2 + i);
    return report;
}

GainRank RankIn(const ResultRows& gainCounts, std::int64_t gain)
{
    GainRank rank;
    for (const ResultRow& row : gainCounts) {
        const std::int64_t count = std::atoll(row.at(1).c_str());
        rank.total += count;
        if (std::atoll(row.at(0).c_str()) < gain)
            rank.below += count;
    }
    return rank;
}
