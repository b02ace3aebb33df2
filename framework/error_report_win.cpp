#include "framework/error_report.hpp"

#include <windows.h>

namespace Kordo {

void ReportError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatErrorReportV(format, args);
    va_end(args);
    OutputDebugStringA(text.c_str());
}

} // namespace Kordo
