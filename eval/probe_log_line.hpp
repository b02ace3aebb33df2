#pragma once
// The shape of a used probe-log line, matched by hand: the same decision and the same captures
// as regex_match with ProbeLogPattern() (eval/probe_log_pattern.hpp) on every line, at a small
// fraction of its cost. A differential test holds the two together.
#include <optional>
#include <string_view>

struct ProbeLogFields {
    std::string_view id;  // field 1
    std::string_view cpu; // field 4
    std::string_view ram; // the digits and dots that begin field 5
    std::string_view gpu; // field 6
};

// The fields of a line (without its line end), or nothing when the pattern would not match it.
std::optional<ProbeLogFields> MatchProbeLogLine(std::string_view line);
