#pragma once
// The smallest step up for a part that decides a machine's level: a real part that reaches the
// next better band. The most reported one among the survey's machines when there is one, else
// the table's lowest-scored entry that reaches it; named as the table names it. Memory as an
// amount.
#include "eval/level_rule.hpp"
#include "server/intake/score_tables.hpp"

#include <memory>
#include <string>
#include <vector>

// For each band, the most reported processor and adapter in it, by the tables of `digest`.
struct PopularParts {
    std::string digest;
    std::string processors[kBandCount], adapters[kBandCount];
};

// From names most reported first (stored bytes): the first in each band that the tables hold by
// exactly that name.
PopularParts PopularPartsIn(const ServerTables& tables, const std::vector<std::string>& processors,
                            const std::vector<std::string>& adapters);

// The popular parts in use (none until the store has been read). Safe from every thread.
void UsePopularParts(std::shared_ptr<const PopularParts> parts);
std::shared_ptr<const PopularParts> CurrentPopularParts();

// The part to suggest for reaching `band` (empty for a band out of range).
std::string ProcessorStepUp(const ServerTables& tables, const PopularParts* popular, int band);
std::string AdapterStepUp(const ServerTables& tables, const PopularParts* popular, int band);

// The amount of memory that reaches a memory band, as sold ("4 GB").
std::string MemoryStepUp(int band);
