#include "framework/error_report.hpp"

#include <cstdio>

namespace Kordo {

std::string FormatErrorReportV(const char* format, va_list args)
{
    char buffer[1024] = {};
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

std::string FormatErrorReport(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatErrorReportV(format, args);
    va_end(args);
    return text;
}

} // namespace Kordo
