// The hand matcher against the regular expression it replaces: same decision, same captures.
#include "eval/probe_log_line.hpp"
#include "eval/probe_log_pattern.hpp"
#include "tests/core/probe_log_generator.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace {

using Captures = std::optional<std::array<std::string, 4>>;

Captures ByPattern(const std::string& line)
{
    std::smatch match;
    if (!std::regex_match(line, match, ProbeLogPattern()))
        return std::nullopt;
    return std::array<std::string, 4>{match[1].str(), match[2].str(), match[3].str(),
                                      match[4].str()};
}

Captures ByHand(const std::string& line)
{
    const std::optional<ProbeLogFields> fields = MatchProbeLogLine(line);
    if (!fields)
        return std::nullopt;
    return std::array<std::string, 4>{std::string(fields->id), std::string(fields->cpu),
                                      std::string(fields->ram), std::string(fields->gpu)};
}

// Reports the first line on which the two disagree, if any.
void ExpectSame(const std::string& line)
{
    const Captures expected = ByPattern(line);
    const Captures actual = ByHand(line);
    ASSERT_EQ(expected.has_value(), actual.has_value()) << testing::PrintToString(line);
    if (expected) {
        ASSERT_EQ(*expected, *actual) << testing::PrintToString(line);
    }
}

long LinesToGenerate()
{
    // Millions in a dedicated run (VXM_DIFFERENTIAL_LINES=5000000); fewer in every test run.
    const char* wanted = std::getenv("VXM_DIFFERENTIAL_LINES");
    return wanted ? std::atol(wanted) : 200000;
}

} // namespace

TEST(ProbeLogLine, TakesTheFieldsOfAUsedLine)
{
    const Captures fields = ByHand("id1\t2013-08-01\t10:00:00\tIntel(R) Core(TM)2 CPU  E8500\t"
                                   "8192.00 MB\tATI Radeon HD 4870\t6.1;D3D9\tmore");
    ASSERT_TRUE(fields);
    const std::array<std::string, 4> expected = {"id1", "Intel(R) Core(TM)2 CPU  E8500", "8192.00",
                                                 "ATI Radeon HD 4870"};
    EXPECT_EQ(*fields, expected);
}

TEST(ProbeLogLine, EveryByteInEveryFieldAsThePattern)
{
    const std::array<std::string, 7> base = {"id", "d", "t", "cpu", "8192.00 MB", "gpu", "tail"};
    for (int byte = 0; byte < 256; ++byte) {
        const std::string c(1, static_cast<char>(byte));
        for (std::size_t field = 0; field < base.size(); ++field) {
            for (const std::string& replaced : {c, c + base[field], base[field] + c}) {
                for (std::size_t fieldCount : {field + 1, base.size()}) {
                    std::string line;
                    for (std::size_t i = 0; i < std::max(fieldCount, std::size_t{6}); ++i)
                        line += (i ? "\t" : "") + (i == field ? replaced : base[i]);
                    ExpectSame(line);
                    ExpectSame(line.substr(0, line.rfind('\t')));
                }
            }
        }
    }
}

TEST(ProbeLogLine, GeneratedLinesAsThePattern)
{
    ProbeLogGenerator generator(20140220, {"Intel Core i7 995X @ 3.60GHz", "ATI Radeon HD 4870"});
    long matched = 0;
    const long count = LinesToGenerate();
    for (long i = 0; i < count; ++i) {
        const std::string line = generator.Line();
        ExpectSame(line);
        if (HasFatalFailure())
            return;
        matched += MatchProbeLogLine(line).has_value();
    }
    // The generator must exercise both outcomes in earnest.
    EXPECT_GT(matched, count / 10);
    EXPECT_LT(matched, count * 9 / 10);
}
