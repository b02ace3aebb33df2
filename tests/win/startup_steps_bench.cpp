// Figures, not a test: what each step of the program's start-up costs in a fresh process, in the
// program's order. Run it once per process, several times, and take medians:
//   scripts/wine-exec build/<dir>/bin/win_tests.exe --gtest_also_run_disabled_tests
//       --gtest_filter=StartupStepsBench.*
#include "app/command_line.hpp"
#include "app/single_evaluation.hpp"
#include "common/text_resource.hpp"
#include "eval/level.hpp"
#include "eval/score_table.hpp"
#include "framework/shared_memory_block.hpp"

#include <boost/program_options/parsers.hpp>

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace {

template <typename Step> void Time(const char* name, Step step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("step %-28s %8.2f ms\n", name, ms);
}

} // namespace

TEST(StartupStepsBench, DISABLED_EachStepOnce)
{
    std::string gpu, cpu;
    std::vector<std::string> debugLines;
    Time("load and verify both tables", [&] {
        gpu = LoadTextResource(kGpuTableResource, "gpu.txt", "TEXT");
        cpu = LoadTextResource(kCpuTableResource, "cpu.txt", "TEXT");
    });
    Time("parse both tables", [&] {
        const auto keep = [&debugLines](const char* line) { debugLines.emplace_back(line); };
        GpuScoreTable() = ParseScoreText(gpu, keep);
        CpuScoreTable() = ParseScoreText(cpu, keep);
    });
    Time("send the debug lines", [&] {
        for (const std::string& line : debugLines)
            OutputDebugStringA(line.c_str());
    });
    Time("level map", [] { ReportedLevelMap(); });
    Time("shared memory block", [] { Kordo::CreateSharedMemoryBlock(); });
    Time("socket layer", [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data);
    });
    Time("locale", [] {
        if (!std::setlocale(LC_ALL, "Chinese_People's Republic of China.936"))
            std::setlocale(LC_ALL, "Chinese_China.936");
    });
    CommandLine line;
    Time("command line", [&line] {
        line = ParseCommandLine(boost::program_options::split_winmain("--eval x|y|1 --mute"));
    });
    Time("single evaluation", [&line] { EvaluateTriple(line.eval); });
    EXPECT_EQ(debugLines.size(), CpuScoreTable().size() + GpuScoreTable().size());
}
