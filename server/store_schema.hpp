#pragma once
// What both engines share of the database: column lists, the aggregate queries and how their
// rows become figures. Every query returns text or byte columns only, so both engines read
// their results the same way.
#include "server/report_store.hpp"

#include <string>
#include <vector>

using ResultRow = std::vector<std::string>;
using ResultRows = std::vector<ResultRow>;

// "u, mc, ..., tk": the twenty report columns, named after the form fields.
std::string ReportColumns();

// The placeholders for the insert: time, peer, gain, then the twenty fields; `placeholder`
// gives the text of the n-th one (1-based).
std::string InsertReportSql(const std::function<std::string(int)>& placeholder);

// "SELECT received, peer, u, ..., tk FROM reports ORDER BY id" with every column as text.
std::string SelectReportsSql();

// The totals query first, then one query per aggregate in SurveyFigures order.
const std::vector<std::string>& SurveyQueries();

// The figures from the results of SurveyQueries(), in the same order.
SurveyFigures FiguresFromRows(const std::vector<ResultRows>& results);

// A report from one row of SelectReportsSql().
StoredReport ReportFromRow(const ResultRow& row);

// The rank of each gain from the (gain, count) rows of the gain counts table.
GainRank RankIn(const ResultRows& gainCounts, std::int64_t gain);
