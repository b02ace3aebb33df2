#pragma once
// Loader problems go to the debugger output only; the user never sees them.
#include <cstdarg>
#include <string>

namespace Kordo {

// The text as it is sent: formatted into a 1024-byte buffer, so longer output is cut to 1023
// characters.
std::string FormatErrorReport(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatErrorReportV(const char* format, va_list args);

// Sends the formatted text to the debugger output (OutputDebugStringA).
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace Kordo
