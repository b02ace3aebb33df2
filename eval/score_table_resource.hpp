#pragma once
// The score tables embedded in the program, parsed at start-up.
#include "eval/score_table.hpp"

// Start-up: the adapter table, then the processor table, each sending one debug line per entry
// to the debugger output when something reads it.
void LoadScoreTables();
