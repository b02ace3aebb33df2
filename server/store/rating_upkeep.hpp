#pragma once
// Keeps the stored ratings up to the tables in use, on a writer thread between its batches: after
// the tables change (or in a database from before the server rated reports) every stored report
// is rated again, a bounded batch at a time, so new reports wait at most one batch. Every few
// seconds, and when a pass ends, it also reads the most reported parts for the message's
// suggestions and the unrated counts for the metrics.
#include "server/monitor/server_metrics.hpp"
#include "server/store/report_store.hpp"

#include <chrono>
#include <cstdint>
#include <string>

constexpr std::size_t kRerateBatch = 1000;
constexpr std::size_t kSuggestedNames = 200; // names of each kind read for the suggestions
constexpr std::chrono::seconds kUpkeepPeriod{5};
// How often an idle writer looks whether the tables changed.
constexpr std::chrono::seconds kTablesCheckPeriod{1};

// Where the upkeep stands between its steps.
struct RatingUpkeep {
    std::string passDigest;  // the tables of the pass under way or done
    std::int64_t cursor = 0; // the last report that pass looked at
    bool passDone = false;
    std::chrono::steady_clock::time_point nextRead{};
    std::chrono::steady_clock::time_point retryAt{}; // after a store failure
};

// One step; true when there is more to do at once (a pass under way, or a step the store asked
// to be tried again). A store failure is logged and counted, and the step tried again later.
bool KeepRatingsUp(ReportStore& store, RatingUpkeep& upkeep, ServerMetrics& metrics);
