#pragma once
// What each report field may hold: the shapes the program itself writes, so that a forged value
// the program could never send is refused as malformed before it reaches the store.
#include "report/report_fields.hpp"

#include <cstdint>
#include <optional>

// The field that breaks its rule, or nullopt when every field keeps to its own.
std::optional<ReportField> BrokenFieldRule(const ReportValues& values);

// The gain band of a level code: levels 1 and 2 report "1", 3 reports "3", 4 and 5 report "5",
// an unrated machine reports "" with the gain 0.
struct GainBand {
    std::int64_t low, high;
};
std::optional<GainBand> GainBandOf(const std::string& levelCode);
