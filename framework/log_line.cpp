#include "framework/log_line.hpp"

#include <cstdio>

namespace Kordo {

const char* LogLevelPrefix(int level)
{
    static const char* const prefixes[] = {"(Error)\t", "(Warn)\t", "(Std) \t", "(Info) \t",
                                           "(Insan)\t"};
    if (level < 0 || level > 4)
        return "(Unkwn)\t";
    return prefixes[level];
}

void FormatLogLine(std::string& line, const std::tm& when, int level, const char* text)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d ", when.tm_mday,
                  when.tm_mon + 1, when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    line = stamp;
    line += LogLevelPrefix(level);
    line += text;
    line += '\n';
}

} // namespace Kordo
