#pragma once
// Score tables: exact device name -> performance score, parsed from the embedded data files.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ScoreEntry {
    std::size_t nameAt; // where the name starts in the table's names
    std::size_t nameLength;
    int score;
};

struct CanonicalScore {
    std::size_t nameAt; // where the canonical name starts in the index's names
    std::size_t nameLength;
    std::optional<int> score; // nothing when entries of different scores share the name
};

// The entries by canonical name, in byte order of the names, each name once; made once a table.
struct CanonicalIndex {
    std::once_flag made;
    std::string names;
    std::vector<CanonicalScore> scores;
};

// Every name in one text and the entries in one array: a map of strings took two allocations an
// entry, which under Wine was most of parsing the tables at start-up.
struct ScoreTable {
    std::string names;
    std::vector<ScoreEntry> entries; // in byte order of their names, each name once
    // Made by the first look-up that misses (FindScore), so a name the table holds costs nothing
    // more; copies share it, as they hold the same entries.
    std::shared_ptr<CanonicalIndex> canonical = std::make_shared<CanonicalIndex>();
};

std::string_view EntryName(const ScoreTable& table, const ScoreEntry& entry);

// Receives each debug line as the zero-terminated text the debugger output takes.
using DebugSink = std::function<void(const char*)>;

// Parses table text: the entries that searching it with "(.*):(\d+)" finds, each search from the
// end of the previous match, matched by hand (tests hold the two together); a repeated name keeps
// its last score. Calls debugLine with each entry's debug text in the entries' order, after a note
// for each line whose score does not fit an int, which gives no entry.
ScoreTable ParseScoreText(const std::string& text, const DebugSink& debugLine = {});

// "key:%s, value:%d\n", cut to fit a 1024-byte buffer with its terminator.
std::string ScoreDebugLine(const std::string& name, int score);

// The process-wide tables, filled once at start-up.
ScoreTable& CpuScoreTable();
ScoreTable& GpuScoreTable();

// The score of a name, or nothing when the name is not a key. Never adds an entry. The evaluation
// looks names up with FindScore (eval/score_lookup.hpp), which tries this first.
std::optional<int> LookupScore(const ScoreTable& table, const std::string& name);
