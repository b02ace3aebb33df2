#pragma once
// The operator's raw export: every stored report as one CSV line (UTF-8, RFC 4180 quoting).
#include "server/report_store.hpp"

#include <string>

// Header "received,peer,u,mc,...,tk", then one line per report, oldest first, each handed to
// `write` as it is made. The time is written as UTC "YYYY-MM-DD hh:mm:ss"; field values are
// converted from GBK.
void WriteCsv(ReportStore& store, const std::function<void(const std::string&)>& write);

// One report's line, without the line end.
std::string CsvLine(const StoredReport& report);

// "YYYY-MM-DD hh:mm:ss" (UTC) of seconds since 1970.
std::string UtcTimeText(std::int64_t seconds);
