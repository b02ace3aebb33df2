#pragma once
// The report form: twenty url-encoded fields taken from the machine record, and the token that
// binds the main facts to salts the report server also holds.
#include <string>

// Percent-encodes every byte except ASCII letters, digits and "-", "_", ".", "~" (upper-case
// hex digits; a blank becomes %20).
std::string UrlEncodeValue(const std::string& text);

// MD5 (lower-case hex) of the raw account number, MAC, processor, memory and adapter values,
// the given level code and the gain, interleaved with the three salts.
std::string ComputeReportToken(const std::string& levelCode);

// The complete form body, "u=...&mc=...&...&tk=...", read from the record without changing it.
std::string BuildReportForm();
