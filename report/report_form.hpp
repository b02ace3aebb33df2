#pragma once
// The report form as the program sends it: the twenty fields read from the machine record.
#include "report/report_fields.hpp"
#include "report/report_token.hpp"

#include <string>

// The token of the record's values with the given level code in place of "hl".
std::string ComputeReportToken(const std::string& levelCode);

// The complete form body, "u=...&mc=...&...&tk=...", read from the record without changing it.
std::string BuildReportForm();
