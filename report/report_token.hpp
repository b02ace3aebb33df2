#pragma once
// The report token: binds the account number and the main machine facts to three salts that the
// program and the report server both hold.
#include "report/report_fields.hpp"

#include <string>

// MD5 (lower-case hex) of the raw account number, MAC, processor, memory and adapter values,
// the level code and the gain, interleaved with the salts. Reads only those seven values.
std::string ComputeReportToken(const ReportValues& values);
