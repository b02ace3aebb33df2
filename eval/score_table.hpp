#pragma once
// Score tables: exact device name -> performance score, parsed from the embedded data files.
#include <functional>
#include <map>
#include <optional>
#include <string>

using ScoreTable = std::map<std::string, int>;

// Receives each debug line as the zero-terminated text the debugger output takes.
using DebugSink = std::function<void(const char*)>;

// Parses table text: the entries that searching it with "(.*):(\d+)" finds, each search from the
// end of the previous match, matched by hand (tests hold the two together). Calls debugLine with
// each entry's debug text, and with a note for a line whose score does not fit an int, which
// gives no entry.
ScoreTable ParseScoreText(const std::string& text, const DebugSink& debugLine = {});

// "key:%s, value:%d\n", cut to fit a 1024-byte buffer with its terminator.
std::string ScoreDebugLine(const std::string& name, int score);

// The process-wide tables, filled once at start-up.
ScoreTable& CpuScoreTable();
ScoreTable& GpuScoreTable();

// The score of a name, or nothing when the name is not a key. Never adds an entry.
std::optional<int> LookupScore(const ScoreTable& table, const std::string& name);
