#pragma once
// The server's own rating of a report: the evaluation's level rule applied to the processor and
// adapter names, memory and core count the report carries, with the server's tables. The level
// code a report carries cannot tell level 1 from 2 or 4 from 5, and the program's tables may be
// older than the server's.
#include "eval/level_rule.hpp"
#include "report/report_fields.hpp"
#include "server/intake/score_tables.hpp"

#include <cstdint>
#include <optional>
#include <string>

struct ReportRating {
    LevelRating level;
    unsigned unknown = 0; // kProcessorClass, kAdapterClass: names the tables do not hold
};

ReportRating RateReport(const ServerTables& tables, const ReportValues& values);

// Bytes of a memory text as the program writes it ("8192.00 MB"); 0 for anything else.
std::uint64_t MemoryBytesOf(const std::string& megabyteText);

// Where a rated machine stands: a larger key is a better machine. By level, then the product of
// the processor and adapter scores (in steps of a quarter of a doubling, so that the keys stay
// few), then memory. Each part at least as good gives a key at least as large. Nothing for an
// unrated machine.
std::optional<std::int64_t> RankKey(const LevelRating& rating);

// The rating that stored scores, memory band and unknown classes describe.
ReportRating RatingFromColumns(int cpuScore, int gpuScore, int memoryBand, unsigned unknown);
