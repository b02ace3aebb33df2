#pragma once
// The score tables embedded in the program, parsed at start-up.
#include "eval/score_table.hpp"

// Parses an embedded score table, sending one debug line per entry to the debugger output.
ScoreTable ParseScoreTable(int resourceId, const char* fileName);

// Start-up: the adapter table, then the processor table.
void LoadScoreTables();
