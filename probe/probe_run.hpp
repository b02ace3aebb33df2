#pragma once
#include <string>

// Runs every machine probe in its fixed order, fills the record and returns the summary text.
std::string GetProbeSummary();
