// Batch evaluation speed and peak memory against the floor of merely copying lines, and the
// share of the line pattern alone, by the regular expression and by the hand matcher. Builds
// natively and for Windows (run under Wine).
// Usage: batch_bench LOG eval|match|regex|floor   (one mode per process: peak memory is its own)
#include "eval/probe_log.hpp"
#include "eval/probe_log_line.hpp"
#include "eval/probe_log_pattern.hpp"
#include "eval/score_table.hpp"
#include "tools/bench/line_copy_floor.hpp"
#include "tools/bench/no_probe.hpp"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

long PeakMemoryKiB()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

// Matches every line against the log pattern and does nothing else.
template <typename Match> long long MatchOnly(const std::string& path, Match match)
{
    std::ifstream input(path);
    std::string line;
    long long used = 0;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        used += match(line);
    }
    return used;
}

bool ByPattern(const std::string& line)
{
    std::smatch fields;
    return std::regex_match(line, fields, ProbeLogPattern());
}

bool ByHand(const std::string& line)
{
    return MatchProbeLogLine(line).has_value();
}

long long CountLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(file), {}, '\n');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: batch_bench LOG eval|match|regex|floor\n");
        return 2;
    }
    const std::string log = argv[1];
    const std::string mode = argv[2];
    CpuScoreTable() = ParseScoreText(ReadAll(std::string(VXM_RESOURCES_DIR) + "/cpu.txt"));
    GpuScoreTable() = ParseScoreText(ReadAll(std::string(VXM_RESOURCES_DIR) + "/gpu.txt"));
    const long long lines = CountLines(log);

    const auto start = std::chrono::steady_clock::now();
    if (mode == "eval")
        EvaluateProbeLog(log, log + " - result.txt");
    else if (mode == "match")
        MatchOnly(log, ByHand);
    else if (mode == "regex")
        MatchOnly(log, ByPattern);
    else
        CopyLinesFloor(log, log + " - floor.txt");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("%-5s %9lld lines %8.2f s %10.0f lines/s  peak memory %6ld KiB\n", mode.c_str(),
                lines, seconds, lines / seconds, PeakMemoryKiB());
    return 0;
}
