#include "eval/level.hpp"
#include "server/intake/report_decision.hpp"
#include "server/intake/report_field_rules.hpp"
#include "tests/server/report_samples.hpp"

#include <gtest/gtest.h>

namespace {

ReportValues With(ReportField field, const std::string& value)
{
    ReportValues values = SampleValues();
    values[static_cast<std::size_t>(field)] = value;
    return values;
}

// Each field with values the program writes and values it never could.
TEST(ReportFieldRules, AcceptWhatTheProgramSendsAndNothingElse)
{
    const struct {
        ReportField field;
        std::vector<std::string> accepted, refused;
    } cases[] = {
        {ReportField::Account,
         {"10000", "99999999999", "87654321"},
         {"", "01234", "1234", "123456789012", "12345 ", " 12345", "abc<>", "-12345", "1e10"}},
        {ReportField::Mac,
         {"", "00-1A-2B-3C-4D-5E", "FF-FF-FF-FF-FF-FF"},
         {"not a mac", "00-1a-2b-3c-4d-5e", "00-1A-2B-3C-4D-5E ", "00:1A:2B:3C:4D:5E",
          "00-1A-2B-3C-4D", "00-1A-2B-3C-4D-5G", "001A-2B-3C-4D-5E-"}},
        {ReportField::Ram,
         {"8192.00 MB", "0.00 MB", "", "4095.50 MB"},
         {"8192 MB", "8192.0 MB", "-1.00 MB", "8192.00MB", "8192.00 GB", "1e3.00 MB",
          "9999999999999.00 MB"}},
        {ReportField::CoreCount, {"", "4", "64", "1024"}, {"04", "-1", "12345", "four", " 4"}},
        {ReportField::Times, {"", "0", "3", "4294967295"}, {"4294967296", "07", "x", "-1"}},
        {ReportField::Os,
         {"Windows 6.1, SP 1.0", "Windows 10.0, SP 0.0", "Windows 0.0, SP 0.0"},
         {"", "Windows 6.1", "windows 6.1, SP 1.0", "Windows 6.1, SP 1.0 ", "Linux"}},
        {ReportField::Resolution,
         {"", "1920x1080, 32bits"},
         {"1920x1080", "1920 x 1080, 32bits", "wide, 32bits"}},
        {ReportField::GpuDriver, {"", "9.18.13.697"}, {"9.18.13", "v9.18.13.697"}},
        {ReportField::DirectX, {"", "D3D9;"}, {"D3D10;", "d3d9;"}},
        {ReportField::Cpu,
         {"", "Intel(R) Core(TM) i7 CPU", std::string(512, 'c'), "\xFF\x80 ~"},
         {std::string(513, 'c'), std::string("Intel\0Core", 10), "Intel\tCore", "Core\x7F",
          "Core\r\n"}},
        {ReportField::Gpu, {"NVIDIA GeForce GTX 690"}, {std::string("GTX\0", 4), "\x1B[31m"}},
        {ReportField::HostName,
         {"\xD5\xC5\xC8\xFD@PC-01"},
         {std::string(60 * 1024, 'h'), "PC\x01"}},
        {ReportField::AdapterName, {"{4D36E972}Intel(R) 82574L"}, {"Intel\n82574L"}},
        {ReportField::Msvc,
         {"", std::string(32 * 1024, 'v')},
         {std::string(32 * 1024 + 1, 'v'), std::string("VC10;\0;", 7)}},
        {ReportField::Token,
         {std::string(32, 'a')},
         {"", std::string(32, 'A'), std::string(31, 'a'), std::string(33, '0')}},
    };
    for (const auto& c : cases) {
        for (const std::string& value : c.accepted)
            EXPECT_EQ(BrokenFieldRule(With(c.field, value)), std::nullopt)
                << kReportFields[static_cast<std::size_t>(c.field)].name << "=" << value;
        for (const std::string& value : c.refused)
            EXPECT_EQ(BrokenFieldRule(With(c.field, value)), c.field)
                << kReportFields[static_cast<std::size_t>(c.field)].name << "=" << value;
    }
}

TEST(ReportFieldRules, GainMustLieInItsLevelCodesBand)
{
    const struct {
        const char* level;
        const char* gain;
        bool accepted;
    } cases[] = {
        {"1", "751", true},   {"1", "850", true},
        {"1", "750", false},  {"1", "851", false},
        {"3", "651", true},   {"3", "750", true},
        {"3", "650", false},  {"3", "751", false},
        {"5", "501", true},   {"5", "550", true},
        {"5", "500", false},  {"5", "551", false},
        {"", "0", true},      {"", "", false},
        {"", "501", false},   {"2", "800", false},
        {"4", "520", false},  {"1", "0800", false},
        {"1", "+800", false}, {"1", "9223372036854775807", false},
        {"1", "-800", false},
    };
    for (const auto& c : cases) {
        ReportValues values = With(ReportField::LevelCode, c.level);
        values[static_cast<std::size_t>(ReportField::Gain)] = c.gain;
        EXPECT_EQ(!BrokenFieldRule(values), c.accepted) << "hl=" << c.level << " s=" << c.gain;
    }
}

// The bands follow the program's own evaluation: every gain it can compute for a level, with the
// level code it reports for it, passes.
TEST(ReportFieldRules, EveryGainTheEvaluationGivesPasses)
{
    SetGainRandomSourceForTesting([] { return 49; }); // the highest draw: 50
    for (int levelIndex = 0; levelIndex < 5; ++levelIndex) {
        const std::string code = ReportedLevelMap().at(std::to_string(levelIndex + 1));
        for (int cpu = 1; cpu <= 11000; cpu += 250) {
            for (int gpu = 1; gpu <= 14000; gpu += 350) {
                const int gain = ComputeGainExtra(levelIndex, gpu, cpu) + 500;
                ReportValues values = With(ReportField::LevelCode, code);
                values[static_cast<std::size_t>(ReportField::Gain)] = std::to_string(gain);
                ASSERT_EQ(BrokenFieldRule(values), std::nullopt)
                    << "level " << levelIndex + 1 << " gain " << gain;
            }
        }
    }
    SetGainRandomSourceForTesting([] { return 0; }); // the lowest draw: 1
    ReportValues lowest = With(ReportField::LevelCode, "5");
    lowest[static_cast<std::size_t>(ReportField::Gain)] =
        std::to_string(ComputeGainExtra(4, 100, 100) + 500);
    EXPECT_EQ(BrokenFieldRule(lowest), std::nullopt);
    SetGainRandomSourceForTesting(nullptr);
}

TEST(ReportFieldRules, ABrokenRuleIsMalformedBeforeTheTokenIsChecked)
{
    ReportValues values = With(ReportField::Mac, "00-1a-2b-3c-4d-5e");
    values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
    EXPECT_EQ(CheckReportForm(EncodeReportForm(values)).refusal, Decision::Malformed);
    EXPECT_EQ(CheckReportForm(SampleForm()).refusal, std::nullopt);
}

} // namespace
