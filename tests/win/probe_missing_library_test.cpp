// The probe's libraries are loaded at run time: with them missing (disabled in Wine) the program
// still starts, and their probes leave their keys unwritten while the rest still shows.
#include "tests/win/probe_helper_process.hpp"

#include <gtest/gtest.h>

#include <regex>

TEST(ProbeMissingLibraries, ProbesLeaveTheirKeysAndTheRestShows)
{
    const std::string path = ScratchPath("vxm");
    SetEnvironmentVariableA("VXM_TEST_SUMMARY_FILE", path.c_str());
    const bool passed =
        HelperProcess("HeadlessHelper.WriteSummary", false, "d3d9,d3dx9_42,ddraw,iphlpapi")
            .Passed();
    const std::string summary = FileContent(path);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(passed);

    EXPECT_TRUE(std::regex_search(summary, std::regex("^MAC:\t\n\nMSVC:\t"))) << summary;
    EXPECT_TRUE(std::regex_search(summary, std::regex("\n\nDirectX:\t\n\nResolution:\t\\d")))
        << summary;
    EXPECT_TRUE(std::regex_search(summary, std::regex("\n\nGPU:\t\n\nAdapter:"))) << summary;
    EXPECT_TRUE(std::regex_search(summary, std::regex("\n\nCPU:\t[^\n]+\n\nRAM:\t[1-9]")))
        << summary;
}
