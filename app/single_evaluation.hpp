#pragma once
#include <string>

struct SingleEvaluation {
    std::string message; // the text of the "Evaluation" box
    int gainExtra = 0;   // the process exit code
};

// Rates the triple of an "eval" value without probing: the record holds only its three keys.
// Throws std::invalid_argument for a malformed value.
SingleEvaluation EvaluateTriple(const std::string& evalValue);
