// Batch evaluation speed and peak memory against the floor of merely copying lines.
// Usage: batch_bench LOG eval|floor   (one mode per process, so peak memory is the mode's own)
#include "eval/probe_log.hpp"
#include "eval/score_table.hpp"
#include "tools/bench/line_copy_floor.hpp"
#include "tools/bench/no_probe.hpp"

#include <sys/resource.h>

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

long long CountLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(file), {}, '\n');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: batch_bench LOG eval|floor\n");
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
    else
        CopyLinesFloor(log, log + " - floor.txt");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-5s %9lld lines %8.2f s %10.0f lines/s  peak RSS %6ld KiB\n", mode.c_str(), lines,
                seconds, lines / seconds, usage.ru_maxrss);
    return 0;
}
