// Without a display Wine has no Direct3D 9: the graphics lines stay empty, the rest still shows.
#include "probe/probe_run.hpp"
#include "tests/win/probe_helper_process.hpp"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace {

constexpr char kSummaryVariable[] = "VXM_TEST_SUMMARY_FILE";

bool Contains(const std::string& text, const char* pattern)
{
    return std::regex_search(text, std::regex(pattern));
}

} // namespace

// Helper: writes one probe run's summary to the file named in the environment.
TEST(HeadlessHelper, DISABLED_WriteSummary)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    const std::string summary = GetProbeSummary();
    WSACleanup();
    std::ofstream file(EnvironmentValue(kSummaryVariable), std::ios::binary);
    file << summary;
    ASSERT_TRUE(file.flush());
}

TEST(HeadlessProbeRun, GraphicsLinesEmptyRestShown)
{
    const std::string path = ScratchPath("vxs");
    SetEnvironmentVariableA(kSummaryVariable, path.c_str());
    const bool passed = HelperProcess("HeadlessHelper.WriteSummary", true).Passed();
    const std::string summary = FileContent(path);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(passed);

    EXPECT_TRUE(Contains(summary, "\n\nDirectX:\t\n\nResolution:")) << summary;
    EXPECT_TRUE(Contains(summary, "\n\nGPU:\t\n\nAdapter:")) << summary;
    EXPECT_TRUE(Contains(summary, R"(^MAC:\t[0-9A-F]{2}(-[0-9A-F]{2}){5}\n\nMSVC:\t)")) << summary;
    EXPECT_TRUE(Contains(summary, R"(\n\nOS:\tWindows \d+\.\d+, SP \d+\.\d+\n\n)")) << summary;
    EXPECT_TRUE(Contains(summary, R"(\n\nCPU:\t[^\n]+\n\nRAM:\t[1-9]\d*\.\d\d MB\n\n)")) << summary;
    EXPECT_TRUE(Contains(summary, R"(\n\nAdapter:\t[^\n]+\n\nHost:\t[^\n@]+@[^\n]+\n\n)"))
        << summary;
    EXPECT_TRUE(Contains(summary, R"(\n\nTimes:\t\d+\n\n$)")) << summary;
}
