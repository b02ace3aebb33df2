#pragma once
// The line pattern of a probe log as a regular expression: the reference that MatchProbeLogLine
// reproduces. The program matches by hand; tests and benchmarks compare the two.
#include <regex>

inline const std::regex& ProbeLogPattern()
{
    static const std::regex pattern(
        "(\\S+)\\t\\S+\\t\\S+\\t([^\\t]+)\\t([\\d\\.]+)[^\\t]*\\t([^\\t]+).*",
        std::regex::ECMAScript);
    return pattern;
}
