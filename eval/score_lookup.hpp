#pragma once
// How the evaluation finds a device's score: by its exact name, or else by its canonical name.
#include "eval/score_table.hpp"

#include <optional>
#include <string>

// The score of the entry of that exact name; when there is none, the score of the entries whose
// canonical name (eval/canonical_name.hpp) is the name's, unless entries of different scores
// share it. Nothing otherwise. Safe to call from several threads at once.
std::optional<int> FindScore(const ScoreTable& table, const std::string& name);
