#pragma once
// Counting tallies again from the stored reports, when a schema step makes them new.
#include "server/store/schema_session.hpp"
#include "server/store/schema_steps.hpp"

#include <cstdint>
#include <set>
#include <string>

// Reports read at once (only their counted fields): a megabyte or so.
constexpr std::size_t kReportsABatch = 2000;

// Replaces the tallies of the dimensions (kEveryTally: all of them) with those of the stored
// reports, read in batches so that memory stays bounded however many reports and distinct names
// there are. `version` is the database's schema version (whether the reports have the rating's
// columns, whether the tallies are kept by writer). Returns the number of reports read.
std::int64_t RebuildTallies(SchemaSession& session, const SqlDialect& dialect,
                            const std::set<std::string>& dimensions, std::size_t version,
                            std::size_t reportsABatch = kReportsABatch);
