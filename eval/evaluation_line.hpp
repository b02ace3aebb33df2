#pragma once
#include <string>

// Evaluates the machine and states both table scores, the level and the gain on one line.
std::string EvaluationLine();
