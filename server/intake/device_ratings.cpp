#include "server/intake/device_ratings.hpp"

#include "eval/score_lookup.hpp"

#include <string_view>

// Generated from resources/ at build time (cmake/make_table_source.cmake).
extern const std::string_view kShippedCpuTable;
extern const std::string_view kShippedGpuTable;

namespace {

// Each table parsed once, on first use, and only read afterwards: safe from every thread.
template <const std::string_view& text> const ScoreTable& Parsed()
{
    static const ScoreTable table = ParseScoreText(std::string(text));
    return table;
}

} // namespace

bool ProcessorIsRated(const std::string& name)
{
    return FindScore(Parsed<kShippedCpuTable>(), name).has_value();
}

bool AdapterIsRated(const std::string& name)
{
    return FindScore(Parsed<kShippedGpuTable>(), name).has_value();
}
