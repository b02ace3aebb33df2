#pragma once
// Whose tally rows a PostgreSQL connection adds to. Each writer adds to rows of its own, so that
// no two transactions wait for the same row, and moves them to the tallies about once a second;
// the tallies read are the sums of both.
#include <string>

// A writer's tally rows are its own while its connection holds the lock of their number: it
// takes the lowest number free, so a process restarted takes its rows again and moves them on.
// Should every number be held, the writer shares the rows of one: that costs waits on them, not
// counts. Behind a pool in transaction mode the lock stays with a database connection that
// several writers may share, and they may then share rows too. The query returns the number as
// text.
constexpr int kTallyWriters = 64;
inline const std::string kClaimWriterSql =
    "SELECT CAST(coalesce((SELECT s FROM generate_series(1, " + std::to_string(kTallyWriters) +
    ") AS s WHERE pg_try_advisory_lock(7312018, s) LIMIT 1), pg_backend_pid() % " +
    std::to_string(kTallyWriters) + " + 1) AS TEXT)";
