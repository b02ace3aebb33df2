// Figures, not a test: what each step of the program's start-up costs in a fresh process, in the
// program's order. Run it once per process, several times, and take medians:
//   scripts/wine-exec build/<dir>/bin/win_tests.exe --gtest_also_run_disabled_tests
//       --gtest_filter=StartupStepsBench.*
#include "app/command_line.hpp"
#include "app/process_locale.hpp"
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
#include <cstdio>
#include <string>

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
    Time("load and verify both tables", [&] {
        gpu = LoadTextResource(kGpuTableResource, "gpu.txt", "TEXT");
        cpu = LoadTextResource(kCpuTableResource, "cpu.txt", "TEXT");
    });
    // Without a reader of the debug output, as a start-up usually runs.
    Time("parse both tables", [&] {
        GpuScoreTable() = ParseScoreText(gpu);
        CpuScoreTable() = ParseScoreText(cpu);
    });
    std::size_t debugLines = 0;
    Time("again, sending debug lines", [&] {
        const auto send = [&debugLines](const char* line) {
            OutputDebugStringA(line);
            ++debugLines;
        };
        ParseScoreText(gpu, send);
        ParseScoreText(cpu, send);
    });
    Time("level map", [] { ReportedLevelMap(); });
    Time("shared memory block", [] { Kordo::CreateSharedMemoryBlock(); });
    Time("socket layer", [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data);
    });
    Time("locale", [] { SetProcessLocale(GetUserDefaultLCID()); });
    CommandLine line;
    Time("command line", [&line] {
        line = ParseCommandLine(boost::program_options::split_winmain("--eval x|y|1 --mute"));
    });
    Time("single evaluation", [&line] { EvaluateTriple(line.eval); });
    EXPECT_EQ(debugLines, CpuScoreTable().entries.size() + GpuScoreTable().entries.size());
}
