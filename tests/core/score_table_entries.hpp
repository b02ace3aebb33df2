#pragma once
// A parsed table as a map from name to score, for tests to compare and look into.
#include "eval/score_table.hpp"

#include <map>
#include <string>

using ScoreMap = std::map<std::string, int>;

inline ScoreMap TableEntries(const ScoreTable& table)
{
    ScoreMap entries;
    for (const ScoreEntry& entry : table.entries)
        entries.emplace(EntryName(table, entry), entry.score);
    return entries;
}
